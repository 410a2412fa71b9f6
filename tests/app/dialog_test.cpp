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
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTranslator>
#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>
#include <thread>

#include "fake_speech.h"
#include "temp_dir.h"
#include "util/text.h"
#include "wait.h"

// fontconfig keeps its caches for the life of the process; not ours to free.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig\n";
}

namespace {

std::string gbk(const char* utf8) {
    return util::utf8ToLocal(utf8);
}

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
    std::vector<QString> texts;
    void inform(QWidget*, const QString&, const QString& text) override { texts.push_back(text); }
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
        feeders[1] = [this](boost::asio::io_context&, MessageWindow& window) {
            return std::make_unique<FloodingFeeder>(window, sent);
        };
    }

    std::unique_ptr<CSonaroDlg> open(DialogOptions options = {}) {
        options.baseDir = dir.path() + "/";
        options.prompts = prompts;
        auto dialog = std::make_unique<CSonaroDlg>(
            [this](boost::asio::io_context&) {
                auto fake = std::make_unique<FakeSpeech>();
                speech = fake.get();
                return fake;
            },
            feeders, std::move(options));
        dialog->show();
        return dialog;
    }

    template <typename Widget>
    static Widget* control(CSonaroDlg& dialog, int id) {
        return dialog.findChild<Widget*>(QString::number(id));
    }

    // Delivers one event the way a feeder does, from another thread.
    void deliver(CSonaroDlg& dialog, unsigned message, std::unique_ptr<ChatEvent> record) {
        std::atomic<bool> done{false};
        std::thread sender([&] {
            dialog.messageWindow().send(message, std::move(record));
            done = true;
        });
        EXPECT_TRUE(pumpUntil([&] { return done.load(); }));
        sender.join();
    }

    std::string configPath() const { return dir.file(app::kConfigFileName); }

    testing_support::TempDir dir;
    std::shared_ptr<RecordingPrompts> prompts = std::make_shared<RecordingPrompts>();
    FakeSpeech* speech = nullptr;
    FeederFactories feeders;
    std::atomic<int> sent{0};
};

}  // namespace

TEST_F(DialogTest, SavingChecksTheValuesAndShowsTheOutcome) {
    auto dialog = open();
    auto* speed = control<QSlider>(*dialog, 1003);
    speed->setValue(0);
    control<QPushButton>(*dialog, 1)->click();
    ASSERT_EQ(prompts->texts.size(), 1u);
    EXPECT_EQ(prompts->texts[0], QStringLiteral("语音输出速度: 请输入一个介于 1 和 100 之间的整数."));
    EXPECT_EQ(dialog->focusWidget(), speed);
    EXPECT_FALSE(std::filesystem::exists(configPath()));
    EXPECT_EQ(speech->applied, 1);  // only the initialisation's

    speed->setValue(50);
    auto* room = control<QLineEdit>(*dialog, 1001);
    room->setText(QStringLiteral(" 9999 "));
    QTest::keyClick(room, Qt::Key_Return);
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置成功!"));
    EXPECT_EQ(app::loadConfig(configPath()).roomNumber, "9999");

    std::filesystem::remove(configPath());
    std::filesystem::create_directory(configPath());  // the file cannot be replaced
    room->setText("42");
    control<QPushButton>(*dialog, 1)->click();
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置失败!"));
    EXPECT_EQ(room->text(), QStringLiteral("42"));
}

TEST_F(DialogTest, EventsReachTheRulesAndSwitchesWaitForTheSave) {
    auto dialog = open();
    control<QCheckBox>(*dialog, 1012)->setChecked(false);
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("甲"), "hello"));
    deliver(*dialog, WM_FEEDER_GIFT, std::make_unique<GiftEvent>(gbk("丙"), gbk("鲜花"), 3));
    deliver(*dialog, WM_FEEDER_GIFT, std::make_unique<ChatEvent>("not", "a gift"));  // dropped
    deliver(*dialog, WM_FEEDER_ENTER, std::make_unique<ChatEvent>(gbk("乙"), ""));
    EXPECT_EQ(speech->queue, (std::deque<std::string>{gbk("滴!滴!欢迎乙来到本直播间!"), gbk("甲说:hello")}));
    ASSERT_EQ(speech->gifts.size(), 1u);
    EXPECT_GT(speech->gifts[0].time, 1600000000);

    control<QPushButton>(*dialog, 1)->click();
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("甲"), "again"));
    EXPECT_EQ(speech->queue.size(), 2u);
}

TEST_F(DialogTest, LoginStartsTheFeederOnceAndEveryCancelWayEndsItsFloodAtOnce) {
    const std::function<void(CSonaroDlg&)> ways[] = {
        [](CSonaroDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](CSonaroDlg& dialog) { dialog.close(); },
    };
    for (const auto& cancel : ways) {
        sent = 0;
        auto dialog = open();
        auto* login = control<QPushButton>(*dialog, 1004);
        auto* platforms = control<QComboBox>(*dialog, 1015);
        platforms->setCurrentIndex(-1);
        login->click();
        EXPECT_TRUE(login->isEnabled());

        platforms->setCurrentIndex(1);
        login->click();
        ASSERT_TRUE(pumpUntil([&] { return sent > 50; }));
        EXPECT_EQ(control<QLabel>(*dialog, 1016)->text(), QStringLiteral("熊猫:连接失败"));
        EXPECT_FALSE(login->isEnabled());

        const auto begin = std::chrono::steady_clock::now();
        cancel(*dialog);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
        EXPECT_FALSE(dialog->serving() || dialog->isVisible());
    }
}

TEST_F(DialogTest, ReadingPanelFollowsTheEngineAndItsButtonsSteerIt) {
    auto dialog = open();
    auto* panel = dialog->findChild<QWidget*>(QStringLiteral("readingPanel"));
    ASSERT_NE(panel, nullptr);
    auto list = [panel](const char* name) {
        QStringList texts;
        auto* widget = panel->findChild<QListWidget*>(QString::fromUtf8(name));
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

    auto* pause = panel->findChild<QPushButton*>(QStringLiteral("pause"));
    panel->findChild<QPushButton*>(QStringLiteral("skip"))->click();
    panel->findChild<QPushButton*>(QStringLiteral("clear"))->click();
    pause->click();
    EXPECT_EQ(speech->skips, 1);
    EXPECT_EQ(speech->clears, 1);
    EXPECT_TRUE(speech->paused());
    EXPECT_EQ(pause->text(), QStringLiteral("继续"));
    pause->click();
    EXPECT_FALSE(speech->paused());
    EXPECT_EQ(pause->text(), QStringLiteral("暂停"));

    // The buttons never take Enter from the edits.
    QTest::keyClick(control<QLineEdit>(*dialog, 1001), Qt::Key_Return);
    EXPECT_EQ(prompts->texts.back(), QStringLiteral("保存配置成功!"));
    EXPECT_EQ(speech->skips, 1);
}

TEST_F(DialogTest, MutedViewersComeFromTheFileAndMutingAppendsToIt) {
    const std::string mutePath = dir.file(app::kMuteFileName);
    std::ofstream(mutePath, std::ios::binary) << gbk("乙");  // no line break at the end
    auto dialog = open();
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("乙"), "from the file"));
    deliver(*dialog, WM_FEEDER_ENTER, std::make_unique<ChatEvent>(gbk("乙"), ""));
    EXPECT_TRUE(speech->queue.empty());

    dialog->muteViewer(gbk("甲"));
    dialog->muteViewer(gbk("甲"));  // once in the file
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("甲"), "muted now"));
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("丙"), "still heard"));
    EXPECT_EQ(speech->queue, (std::deque<std::string>{gbk("丙说:still heard")}));
    std::ifstream file(mutePath, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(file), {}), gbk("乙\r\n甲\r\n"));

    // The name filter and the folding are settings like the others.
    control<QCheckBox>(*dialog, 1019)->setChecked(true);
    control<QCheckBox>(*dialog, 1020)->setChecked(true);
    control<QPushButton>(*dialog, 1)->click();
    const app::Settings saved = app::loadConfig(configPath());
    EXPECT_TRUE(saved.filterNames && saved.foldRepeats);
}

TEST_F(DialogTest, QtsOwnTextsAreChineseAndValidationNamesTheField) {
    static QTranslator translator;  // installed for the rest of the run
    ASSERT_TRUE(installQtTranslations(translator)) << "Qt's Chinese translations are missing";
    QDialogButtonBox box(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    EXPECT_EQ(box.button(QDialogButtonBox::Ok)->text(), QStringLiteral("确定"));

    auto dialog = open();
    const std::pair<int, QString> fields[] = {
        {1005, QStringLiteral("弹幕缓存数量: 请输入一个整数.")},
        {1007, QStringLiteral("弹幕最大值: 请输入一个整数.")},
        {1014, QStringLiteral("语音限制时长: 请输入一个整数.")},
    };
    for (const auto& [id, message] : fields) {
        auto* edit = control<QLineEdit>(*dialog, id);
        const QString kept = edit->text();
        edit->clear();
        control<QPushButton>(*dialog, 1)->click();
        EXPECT_EQ(prompts->texts.back(), message);
        edit->setText(kept);
    }
}
