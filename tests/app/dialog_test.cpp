// The main dialog on Qt's offscreen platform, driven through its real widgets.
#include "app/CSonaroApp.h"
#include "app/CSonaroDlg.h"
#include "app/mute_list.h"
#include "app/reading_panel.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMetaProperty>
#include <QPushButton>
#include <QTest>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "../platforms/golden.h"
#include "app/filter_list.h"
#include "core/platform_hosts.h"
#include "fake_speech.h"
#include "feeder_run.h"
#include "gbk.h"
#include "platforms/catalogue.h"
#include "sim/room.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

// fontconfig keeps its caches for the life of the process; not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace {

QApplication& application() {
    static int argc = 1;
    static char name[] = "dialog_test";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Never destroyed: Qt's own globals may already be gone at exit.
    static QApplication* app = new QApplication(argc, argv);
    return *app;
}

// Runs the Qt event loop until `condition` holds or the deadline passes.
template <typename Condition>
bool pumpUntil(Condition condition) {
    return testing_support::waitUntil([&] {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        return condition();
    });
}

struct RecordingPrompts : UserPrompts {
    std::vector<QString> texts, questions, opened;
    std::function<void()> whileShown;  // runs while the box would be open
    bool answer = true, canOpen = true;

    void inform(QWidget*, const QString&, const QString& text) override {
        texts.push_back(text);
        if (whileShown) {
            whileShown();
        }
    }
    bool ask(QWidget*, const QString&, const QString& text) override {
        questions.push_back(text);
        return answer;
    }
    bool openFile(const QString& path) override {
        opened.push_back(path);
        return canOpen;
    }
};

// Reports a failure, then floods chat lines until the window closes.
struct FloodingFeeder : msgfeeder {
    MessageWindow& window;
    std::atomic<int>& sent;

    FloodingFeeder(MessageWindow& w, std::atomic<int>& s) : window(w), sent(s) {}

    void start(std::string) override {
        sendStatus(window, gbk("熊猫"), gbk("连接失败"));
        while (sendChat(window, "n", "flooding")) {
            ++sent;
        }
    }
};

class DialogTest : public ::testing::Test {
  protected:
    DialogTest() {
        application();
        feeders[1] = [this](boost::asio::io_context&, MessageWindow& window, const std::atomic<bool>&) {
            return std::make_unique<FloodingFeeder>(window, sent);
        };
    }

    void open(DialogOptions options = {}) {
        dlg.reset();
        options.baseDir = dir.path() + "/";
        options.prompts = prompts;
        options.onStatus = [this](const std::string& line) { logged.push_back(util::localToUtf8(line)); };
        dlg = std::make_unique<CSonaroDlg>(
            [this](boost::asio::io_context&) {
                auto fake = std::make_unique<FakeSpeech>();
                fake->devices = devices;
                speech = fake.get();
                return fake;
            },
            feeders, std::move(options));
        dlg->show();
    }

    // A control by its id or, for the newer ones, its name.
    template <typename Widget, typename Key>
    Widget* at(Key key) {
        return dlg->findChild<Widget*>(QVariant(key).toString());
    }
    QString status() { return at<QLabel>(1016)->text(); }
    void save() { at<QPushButton>(1)->click(); }
    app::Settings stored() const { return app::loadConfig(configPath(), platforms::roomKinds()); }
    std::string configPath() const { return dir.file(app::kConfigFileName); }

    // Delivers one event the way a feeder does, from another thread.
    void deliver(const char* name, const char* text, unsigned message = WM_FEEDER_CHAT) {
        auto record = std::make_unique<ChatEvent>(gbk(name), gbk(text));
        std::atomic<bool> done{false};
        std::thread sender([&] {
            dlg->messageWindow().send(message, std::move(record));
            done = true;
        });
        EXPECT_TRUE(pumpUntil([&] { return done.load(); }));
        sender.join();
    }

    testing_support::TempDir dir;
    std::shared_ptr<RecordingPrompts> prompts = std::make_shared<RecordingPrompts>();
    FakeSpeech* speech = nullptr;
    std::vector<std::string> devices;  // the output devices the engine lists
    FeederFactories feeders;
    std::atomic<int> sent{0};
    std::vector<std::string> logged;  // the status lines, in UTF-8
    std::unique_ptr<CSonaroDlg> dlg;
};

}  // namespace

TEST_F(DialogTest, LoginStartsTheFeederOnceAndEveryCancelWayEndsItsFloodAtOnce) {
    const std::function<void(CSonaroDlg&)> ways[] = {
        [](CSonaroDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](CSonaroDlg& dialog) { dialog.close(); },
    };
    for (const auto& cancel : ways) {
        sent = 0;
        open();
        auto* login = at<QPushButton>(1004);
        at<QComboBox>(1015)->setCurrentIndex(-1);
        login->click();
        EXPECT_TRUE(login->isEnabled());

        at<QComboBox>(1015)->setCurrentIndex(1);
        login->click();
        ASSERT_TRUE(pumpUntil([&] { return sent > 50; }));
        EXPECT_EQ(status(), QStringLiteral("熊猫:连接失败"));
        EXPECT_FALSE(login->isEnabled());

        // The host is asked once; "no" keeps the reading going.
        prompts->questions.clear();
        prompts->answer = false;
        cancel(*dlg);
        EXPECT_TRUE(dlg->serving() && dlg->isVisible());
        prompts->answer = true;
        const auto begin = std::chrono::steady_clock::now();
        cancel(*dlg);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
        EXPECT_FALSE(dlg->serving() || dlg->isVisible());
        EXPECT_EQ(prompts->questions,
                  std::vector<QString>(2, QStringLiteral("正在读直播间的弹幕, 确定要退出吗?")));
    }
}

// A refused value leaves the file and the engine as they were and the focus
// on its control; the rooms read besides are checked at login too.
TEST_F(DialogTest, EveryValueIsCheckedOnSave) {
    open();
    auto* also = at<QLineEdit>("alsoRooms");
    ASSERT_TRUE(also);
    const auto cases = testing_support::goldenCases("app/dialog_numbers.golden");
    ASSERT_EQ(cases.size(), 32u);
    for (const auto& c : cases) {
        const std::size_t bar = c.in.find('|');
        const std::string id = c.in.substr(0, bar);
        QWidget* control = id == "also" ? also : at<QWidget>(std::stoi(id));
        const QMetaProperty value =
            control->metaObject()->userProperty();  // a slider's value, an edit's text
        const QVariant before = value.read(control);
        const std::string file = testing_support::readFile(configPath());
        const int applied = speech->applied;
        prompts->texts.clear();
        value.write(control, QString::fromStdString(c.in.substr(bar + 1)));
        const bool saved = dlg->OnSave();
        ASSERT_FALSE(prompts->texts.empty());
        const std::string said = prompts->texts[0].toStdString();
        EXPECT_EQ(control == also ? said.substr(0, c.out.size()) : said, c.out) << c.in;
        EXPECT_EQ(saved, c.out == "保存配置成功!") << c.in;
        EXPECT_TRUE(saved || (dlg->focusWidget() == control && speech->applied == applied &&
                              testing_support::readFile(configPath()) == file))
            << c.in;
        if (saved && control == also) {
            EXPECT_EQ(stored().alsoRooms, "5:9999");
        }
        value.write(control, before);
    }
    // A file that cannot be replaced is said, and what was typed stays.
    std::filesystem::remove(configPath());
    std::filesystem::create_directory(configPath());
    at<QLineEdit>(1001)->setText("42");
    EXPECT_FALSE(dlg->OnSave());
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置失败!"));
    EXPECT_EQ(at<QLineEdit>(1001)->text(), QStringLiteral("42"));

    also->setText("9:1");
    at<QComboBox>(1015)->setCurrentIndex(1);
    at<QPushButton>(1004)->click();
    EXPECT_FALSE(dlg->serving());
    EXPECT_TRUE(status().startsWith(QStringLiteral("同时房间: ")));
}

// A switch changes nothing until it is saved, and holds from the save on, for
// events that arrive while the outcome box is still open too.
TEST_F(DialogTest, SwitchesHoldFromTheSaveOn) {
    open();
    at<QCheckBox>(1012)->setChecked(false);
    at<QLineEdit>(1005)->setText("150");
    deliver("甲", "hello");
    EXPECT_EQ(speech->queue, (std::deque<std::string>{gbk("甲说:hello")}));
    int queuedDuringBox = -1;
    prompts->whileShown = [&] {
        deliver("甲", "again");
        queuedDuringBox = static_cast<int>(speech->queue.size());
        EXPECT_EQ(speech->settings.queueLimit, 150);
    };
    save();
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置成功!"));
    EXPECT_EQ(queuedDuringBox, 1);
}

// The platform, room and rooms read besides given for this run stay out of
// the file until the host edits them.
TEST_F(DialogTest, RunOnlyValuesAreSavedOnlyOnceTheHostEditsThem) {
    app::Settings kept;
    kept.platform = 1;
    kept.roomNumber = "1234";
    ASSERT_TRUE(app::saveConfig(configPath(), kept));
    DialogOptions runOnly;
    runOnly.platform = 3;
    runOnly.room = "777";
    runOnly.alsoRooms = "1:5";

    open(runOnly);
    auto* platforms = at<QComboBox>(1015);
    auto* room = at<QLineEdit>(1001);
    auto* also = at<QLineEdit>("alsoRooms");
    EXPECT_EQ(platforms->currentIndex(), 3);
    EXPECT_EQ(room->text(), QStringLiteral("777"));
    EXPECT_EQ(also->text(), QStringLiteral("1:5"));
    at<QLineEdit>(1006)->setText("5");  // another setting changes
    ASSERT_TRUE(dlg->OnSave());
    kept.minChatLength = 5;
    EXPECT_EQ(stored(), kept);

    QTest::keyClick(platforms, Qt::Key_Up);
    room->selectAll();
    QTest::keyClicks(room, "4321");
    also->selectAll();
    QTest::keyClicks(also, "5:9999 6:lpl");
    ASSERT_TRUE(dlg->OnSave());
    kept.platform = 2;  // one up from 3
    kept.roomNumber = "4321";
    kept.alsoRooms = "5:9999,6:lpl";
    EXPECT_EQ(stored(), kept);
}

TEST_F(DialogTest, TheFilterLinkCreatesAMissingListAndSaysWhereItIsWhenNothingOpensIt) {
    open();
    const std::string path = dir.file(app::kFilterFileName);
    ASSERT_FALSE(std::filesystem::exists(path));
    Q_EMIT at<QLabel>(1010)->linkActivated(QStringLiteral("file:///anything"));
    EXPECT_TRUE(std::filesystem::is_regular_file(path));
    EXPECT_EQ(prompts->opened, std::vector<QString>{QString::fromStdString(path)});
    EXPECT_TRUE(prompts->texts.empty());

    std::ofstream(path, std::ios::binary) << "kept";
    prompts->canOpen = false;
    Q_EMIT at<QLabel>(1010)->linkActivated(QStringLiteral("file:///anything"));
    ASSERT_EQ(prompts->texts.size(), 1u);
    EXPECT_TRUE(prompts->texts[0].contains(QString::fromStdString(path))) << prompts->texts[0].toStdString();
    EXPECT_EQ(testing_support::readFile(path), "kept");  // an existing list is never emptied
}

TEST_F(DialogTest, SpeechThatCannotBeWrittenStaysOnTheStatusLine) {
    DialogOptions options;
    options.unwritableWaves = "/nowhere/waves";
    open(options);
    EXPECT_EQ(status(), QStringLiteral("语音:无法写入语音文件: /nowhere/waves"));
    EXPECT_EQ(logged, std::vector<std::string>{"语音:无法写入语音文件: /nowhere/waves"});
    deliver("斗鱼", "连接服务器成功!", WM_FEEDER_STATUS);
    EXPECT_EQ(status(), QStringLiteral("斗鱼:连接服务器成功! (无法写入语音文件)"));
    EXPECT_EQ(logged.back(), "斗鱼:连接服务器成功!");
}

// The engine command is typed beside the voice list; "试听" speaks with what
// the controls show before anything is saved, and the engine's failures reach
// the status line from its own thread.
TEST_F(DialogTest, TheEngineCommandIsTriedSavedAndItsFailuresShown) {
    open();
    auto* command = at<QLineEdit>("engineCommand");
    ASSERT_NE(command, nullptr);
    EXPECT_TRUE(command->text().isEmpty());
    const QString typed = QStringLiteral("espeak-ng -v cmn -w {wav} --stdin");
    command->setText(typed);
    at<QCheckBox>("engineRawText")->setChecked(true);
    at<QPushButton>("trySpeech")->click();
    EXPECT_EQ(speech->settings.engineCommand, typed.toStdString());
    EXPECT_TRUE(speech->settings.engineRawText);
    EXPECT_EQ(speech->queue, std::deque<std::string>{gbk("这是试听, 弹幕将用这个声音读出来.")});
    EXPECT_FALSE(std::filesystem::exists(configPath()));

    QTest::keyClick(command, Qt::Key_Return);  // Enter saves, as in every edit
    EXPECT_EQ(stored().engineCommand, typed.toStdString());
    EXPECT_TRUE(stored().engineRawText);

    std::thread([&] { speech->statusObserver(gbk("语音引擎失败: 退出码 1")); }).join();
    EXPECT_TRUE(pumpUntil([&] { return !logged.empty(); }));
    EXPECT_EQ(logged, std::vector<std::string>{"语音引擎失败: 退出码 1"});
    EXPECT_EQ(status(), QStringLiteral("语音引擎失败: 退出码 1"));
}

TEST_F(DialogTest, ReadingPanelFollowsTheEngineAndItsButtonsSteerIt) {
    open();
    auto list = [this](const char* name) {
        QStringList texts;
        auto* widget = at<QListWidget>(name);
        for (int i = 0; widget && i < widget->count(); ++i) {
            texts << widget->item(i)->text();
        }
        return texts;
    };
    const std::time_t started = 1457000000;
    speech->reader.playing = Announcement{3, {gbk("甲说:你好"), SpeechKind::Chat, gbk("甲")}, started};
    speech->reader.waiting = {Announcement{4, {"second", SpeechKind::Chat, "b"}, 0},
                              Announcement{5, {"third", SpeechKind::Chat, "c"}, 0}};
    for (int i = 0; i < 60; ++i) {
        speech->reader.recent.push_back(
            Announcement{2, {"old " + std::to_string(i), SpeechKind::Chat, ""}, started});
    }
    // The engine reports from its playback thread.
    std::thread([observer = speech->readerObserver] { observer(ReaderState{}); }).join();
    ASSERT_TRUE(pumpUntil([&] { return list("playing").size() == 1; }));
    EXPECT_EQ(list("playing")[0], ReadingPanel::lineText(started, *speech->reader.playing));
    EXPECT_TRUE(list("playing")[0].endsWith(QStringLiteral(" 甲说:你好")));
    const QStringList waiting = list("waiting");
    ASSERT_EQ(waiting.size(), 2);
    EXPECT_TRUE(waiting[0].endsWith(" second") && waiting[1].endsWith(" third"));
    EXPECT_EQ(list("recent").size(), 60);  // the engine bounds the history, the panel shows it all

    auto* pause = at<QPushButton>("pause");
    at<QPushButton>("skip")->click();
    at<QPushButton>("clear")->click();
    pause->click();
    EXPECT_EQ(speech->skips, 1);
    EXPECT_EQ(speech->clears, 1);
    EXPECT_TRUE(speech->paused());
    EXPECT_EQ(pause->text(), QStringLiteral("继续"));
    pause->click();
    EXPECT_FALSE(speech->paused());
    EXPECT_EQ(pause->text(), QStringLiteral("暂停"));

    // The buttons never take Enter from the edits.
    QTest::keyClick(at<QLineEdit>(1001), Qt::Key_Return);
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置成功!"));
    EXPECT_EQ(speech->skips, 1);
}

TEST_F(DialogTest, MutedViewersComeFromTheFileAndMutingAppendsToIt) {
    const std::string mutePath = dir.file(app::kMuteFileName);
    std::ofstream(mutePath, std::ios::binary) << gbk("乙");  // no line break at the end
    DialogOptions options;
    options.muteListPollMs = 20;
    open(options);
    deliver("乙", "from the file");
    deliver("乙", "", WM_FEEDER_ENTER);
    EXPECT_TRUE(speech->queue.empty());

    dlg->muteViewer(gbk("甲"));
    dlg->muteViewer(gbk("甲"));  // once in the file
    deliver("甲", "muted now");
    deliver("丙", "still heard");
    EXPECT_EQ(speech->queue, (std::deque<std::string>{gbk("丙说:still heard")}));
    EXPECT_EQ(speech->droppedViewers, std::vector<std::string>{gbk("甲")});  // what of theirs waits goes too
    EXPECT_EQ(testing_support::readFile(mutePath), gbk("乙\r\n甲\r\n"));

    // The host edits the file while the program runs: 乙 is heard again, 丙
    // is muted and loses what of theirs waits.
    speech->reader.waiting = {Announcement{7, {"waits", SpeechKind::Chat, gbk("丙")}, 0}};
    std::ofstream(mutePath, std::ios::binary | std::ios::trunc) << "\xEF\xBB\xBF甲\n丙\n";
    EXPECT_TRUE(pumpUntil([&] { return speech->droppedViewers.size() == 2; }));
    EXPECT_EQ(speech->droppedViewers.back(), gbk("丙"));
    speech->queue.clear();
    deliver("乙", "heard");
    deliver("丙", "muted");
    EXPECT_EQ(speech->queue, (std::deque<std::string>{gbk("乙说:heard")}));

    // "取消屏蔽" on the panel's list: 丙 is heard again and leaves the file.
    auto* muted = at<QListWidget>("muted");
    ASSERT_TRUE(muted && muted->count() == 2);
    const auto found = muted->findItems(QStringLiteral("丙"), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1);
    muted->setCurrentItem(found.front());
    at<QPushButton>("unmute")->click();
    EXPECT_EQ(testing_support::readFile(mutePath), "\xEF\xBB\xBF甲\n");
    EXPECT_EQ(muted->count(), 1);
    deliver("丙", "back");
    EXPECT_EQ(speech->queue.back(), gbk("丙说:back"));

    // The name filter and the folding are settings like the others.
    at<QCheckBox>(1019)->setChecked(true);
    at<QCheckBox>(1020)->setChecked(true);
    save();
    EXPECT_TRUE(stored().filterNames && stored().foldRepeats);
}

TEST_F(DialogTest, QtsOwnButtonsSpeakChinese) {
    static QTranslator translator;  // installed for the rest of the run
    ASSERT_TRUE(installQtTranslations(translator)) << "Qt's Chinese translations are missing";
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));
}

TEST_F(DialogTest, TheChosenOutputDeviceIsOpenedAndAGoneOneSaysSo) {
    devices = {"Built-in Audio", "USB 耳机"};
    // The default: the engine is left on the device it opened.
    open();
    EXPECT_TRUE(speech->selected.empty());
    EXPECT_EQ(at<QComboBox>(1021)->count(), 3);
    EXPECT_EQ(at<QComboBox>(1021)->currentText(), QStringLiteral("系统默认"));

    // A choice is opened on save, and only a change reopens.
    at<QComboBox>(1021)->setCurrentIndex(2);
    save();
    save();
    EXPECT_EQ(speech->selected, std::vector<std::string>{"USB 耳机"});
    EXPECT_EQ(stored().outputDevice, "USB 耳机");

    // Unplugged before the next start: the default plays, the status line says
    // so, and the choice stays for when the device comes back.
    devices = {"Built-in Audio"};
    logged.clear();
    open();
    EXPECT_EQ(speech->selected, std::vector<std::string>{"USB 耳机"});
    const std::string said = "语音:输出设备 \"USB 耳机\" 不可用, 改用系统默认设备.";
    EXPECT_EQ(logged, std::vector<std::string>{said});
    EXPECT_EQ(status(), QString::fromStdString(said));
    EXPECT_EQ(at<QComboBox>(1021)->currentText(), QStringLiteral("USB 耳机 (未连接)"));
    save();
    EXPECT_EQ(stored().outputDevice, "USB 耳机");
}

TEST_F(DialogTest, DisconnectThenReadAnotherRoomOfAnotherPlatformInOneRun) {
    auto roomSaying = [](int platform, const char* line) {
        sim::RoomScript script;
        script.events.push_back({sim::ScriptEvent::Kind::Chat, "甲", line, 1, std::chrono::milliseconds(0)});
        return sim::makeRoom(platform, script);
    };
    auto first = roomSaying(0, "第一个房间");
    auto second = roomSaying(4, "第二个房间");
    ASSERT_TRUE(first && second);
    PlatformHosts hosts = testing_support::hostsOf(*first);
    hosts.values.merge(testing_support::hostsOf(*second).values);
    feeders = platforms::feederFactories(hosts);
    open();
    auto* login = at<QPushButton>(1004);
    auto* disconnect = at<QPushButton>("disconnect");
    auto* platforms = at<QComboBox>(1015);
    auto* room = at<QLineEdit>(1001);
    auto heard = [&](const char* utf8) {
        return std::find(speech->queue.begin(), speech->queue.end(), gbk(utf8)) != speech->queue.end();
    };

    // Refused before any connection, with a word on the status line (which
    // rooms fit is the room check's own test; full-width digits must not
    // pass the conversion to GBK as ASCII ones).
    platforms->setCurrentIndex(0);
    for (const char* bad : {"  ", "１２３"}) {
        room->setText(QString::fromUtf8(bad));
        login->click();
        EXPECT_FALSE(dlg->serving()) << bad;
        EXPECT_TRUE(login->isEnabled()) << bad;
        EXPECT_EQ(status(), QStringLiteral("直播间号只能是数字, 请重新输入.")) << bad;
    }

    room->setText(QString::fromStdString(" " + first->roomNumber() + " "));
    login->click();
    ASSERT_TRUE(pumpUntil([&] { return heard("甲说:第一个房间"); }));
    EXPECT_FALSE(login->isEnabled());
    ASSERT_TRUE(disconnect->isEnabled());

    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    const auto begin = std::chrono::steady_clock::now();
    QTest::keyClick(dlg->windowHandle(), Qt::Key_D, Qt::AltModifier);
    ASSERT_TRUE(pumpUntil([&] { return !dlg->serving(); }));  // a shortcut clicks a moment later
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
    EXPECT_EQ(speech->clears, 1);
    EXPECT_TRUE(login->isEnabled());
    EXPECT_FALSE(disconnect->isEnabled());

    platforms->setCurrentIndex(4);
    room->setText(QString::fromStdString(second->roomNumber()));
    login->click();
    ASSERT_TRUE(pumpUntil([&] { return heard("甲说:第二个房间"); }));
    EXPECT_TRUE(dlg->serving());
}

TEST_F(DialogTest, ThePositionIsKeptAndTheHintFollowsThePlatform) {
    DialogOptions options;
    options.windowStateFile = dir.file("window.ini");
    open(options);
    const QPoint first = dlg->pos();
    dlg->move(first + QPoint(37, 23));
    const QPoint moved = dlg->pos();
    dlg->reject();
    open(options);
    EXPECT_EQ(dlg->pos(), moved);

    auto* platforms = at<QComboBox>(1015);
    auto* hint = at<QLabel>("platformHint");
    // The first four entries are the 2016 protocols; every later one is living.
    for (int index = 0; index < platforms->count(); ++index) {
        const QString entry = platforms->itemText(index);
        platforms->setCurrentIndex(index);
        EXPECT_EQ(hint->text().contains(QStringLiteral("--demo")), index < 4) << index;
        EXPECT_EQ(platforms->itemText(index), entry);
    }
}
