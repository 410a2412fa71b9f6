// The main dialog on Qt's offscreen platform, driven through its real widgets.
#include "app/CSonaroDlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

#include "fake_speech.h"
#include "temp_dir.h"
#include "util/text.h"

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
bool pumpUntil(Condition condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return condition();
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

struct RecordingPrompts : UserPrompts {
    std::vector<QString> texts;
    void inform(QWidget*, const QString&, const QString& text) override { texts.push_back(text); }
};

// Reports one status text, then floods chat lines until the window closes.
struct ScriptedFeeder : msgfeeder {
    MessageWindow& window;
    std::string statusText;
    bool flood;
    std::atomic<int>& sent;

    ScriptedFeeder(MessageWindow& w, std::string status, bool f, std::atomic<int>& s)
        : window(w), statusText(std::move(status)), flood(f), sent(s) {}

    void start(std::string) override {
        sendStatus(window, gbk("熊猫"), statusText);
        while (flood && sendChat(window, "n", "flooding")) {
            ++sent;
        }
    }
};

class DialogTest : public ::testing::Test {
  protected:
    DialogTest() { application(); }

    std::unique_ptr<CSonaroDlg> open(DialogOptions options = {}) {
        options.baseDir = dir.path() + "/";
        options.prompts = prompts;
        options.onStatus = [this](const std::string& line) { statusLines.push_back(line); };
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
        auto* widget = dialog.findChild<Widget*>(QString::number(id));
        EXPECT_NE(widget, nullptr) << id;
        return widget;
    }

    void usePandaFeeder(std::string status, bool flood) {
        feeders[1] = [this, status, flood](boost::asio::io_context&, MessageWindow& window) {
            return std::make_unique<ScriptedFeeder>(window, status, flood, sent);
        };
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
    std::vector<std::string> statusLines;
};

}  // namespace

TEST_F(DialogTest, FreshFolderOpensWithTheDefaults) {
    auto dialog = open();
    EXPECT_EQ(control<QComboBox>(*dialog, 1000)->count(), 16);
    EXPECT_EQ(control<QComboBox>(*dialog, 1015)->currentText(), QStringLiteral("斗鱼TV"));
    EXPECT_EQ(control<QLineEdit>(*dialog, 1001)->text(), QStringLiteral("516207"));
    EXPECT_EQ(control<QSlider>(*dialog, 1003)->value(), 70);
    EXPECT_TRUE(control<QCheckBox>(*dialog, 1018)->isChecked());
    EXPECT_EQ(control<QLabel>(*dialog, 1016)->text(), QStringLiteral("准备登陆."));
    EXPECT_FALSE(control<QLabel>(*dialog, 1009)->pixmap().isNull());
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("waves")));
    EXPECT_EQ(speech->logins, 1);
    EXPECT_EQ(speech->settings.queueLimit, 200);
    EXPECT_EQ(speech->settings.durationLimit, 5.0);
}

TEST_F(DialogTest, EnterInAnEditSaves) {
    auto dialog = open();
    auto* room = control<QLineEdit>(*dialog, 1001);
    room->setText(QStringLiteral(" 9999 "));
    QTest::keyClick(room, Qt::Key_Return);
    EXPECT_EQ(prompts->texts, std::vector<QString>{QStringLiteral("保存配置成功!")});
    EXPECT_EQ(app::loadConfig(configPath()).roomNumber, "9999");
}

TEST_F(DialogTest, AValidationFailureStopsTheSave) {
    auto dialog = open();
    auto* speed = control<QSlider>(*dialog, 1003);
    speed->setValue(0);
    control<QLineEdit>(*dialog, 1005)->setText("250");
    control<QPushButton>(*dialog, 1)->click();
    ASSERT_EQ(prompts->texts.size(), 1u);
    EXPECT_TRUE(prompts->texts[0].contains("1") && prompts->texts[0].contains("100"));
    EXPECT_EQ(dialog->focusWidget(), speed);

    speed->setValue(50);
    control<QLineEdit>(*dialog, 1014)->setText("abc");  // not a number
    control<QPushButton>(*dialog, 1)->click();
    EXPECT_EQ(prompts->texts.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(configPath()));
    EXPECT_EQ(speech->applied, 1);  // only the initialisation's
    EXPECT_EQ(dialog->settings().cacheCount, 200);
}

TEST_F(DialogTest, AFailedWriteIsShownAndTheValuesStay) {
    auto dialog = open();
    std::filesystem::create_directory(configPath());  // the file cannot be replaced
    control<QLineEdit>(*dialog, 1001)->setText("42");
    control<QPushButton>(*dialog, 1)->click();
    EXPECT_EQ(prompts->texts, std::vector<QString>{QStringLiteral("保存配置失败!")});
    EXPECT_EQ(control<QLineEdit>(*dialog, 1001)->text(), QStringLiteral("42"));
}

TEST_F(DialogTest, EventsReachTheRulesAndSwitchesWaitForTheSave) {
    auto dialog = open();
    control<QCheckBox>(*dialog, 1012)->setChecked(false);
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("甲"), "hello"));
    deliver(*dialog, WM_FEEDER_GIFT, std::make_unique<GiftEvent>(gbk("丙"), gbk("鲜花"), 3));
    deliver(*dialog, WM_FEEDER_GIFT, std::make_unique<ChatEvent>("not", "a gift"));  // dropped
    deliver(*dialog, WM_FEEDER_ENTER, std::make_unique<ChatEvent>(gbk("乙"), ""));
    ASSERT_EQ(speech->queue.size(), 2u);
    EXPECT_EQ(speech->queue[0], gbk("滴!滴!欢迎乙来到本直播间!"));
    EXPECT_EQ(speech->queue[1], gbk("甲说:hello"));
    ASSERT_EQ(speech->gifts.size(), 1u);
    EXPECT_GT(speech->gifts[0].time, 1600000000);

    control<QPushButton>(*dialog, 1)->click();
    deliver(*dialog, WM_FEEDER_CHAT, std::make_unique<ChatEvent>(gbk("甲"), "again"));
    EXPECT_EQ(speech->queue.size(), 2u);
}

TEST_F(DialogTest, LoginStartsTheFeederOnceAndShowsItsStatus) {
    usePandaFeeder(gbk("连接失败"), false);
    auto dialog = open();
    auto* login = control<QPushButton>(*dialog, 1004);
    auto* platforms = control<QComboBox>(*dialog, 1015);
    platforms->setCurrentIndex(-1);
    login->click();
    EXPECT_TRUE(login->isEnabled());
    EXPECT_FALSE(dialog->serving());

    platforms->setCurrentIndex(1);
    login->click();
    auto* status = control<QLabel>(*dialog, 1016);
    ASSERT_TRUE(pumpUntil([&] { return !statusLines.empty(); }));
    EXPECT_EQ(status->text(), QStringLiteral("熊猫:连接失败"));
    EXPECT_EQ(statusLines, std::vector<std::string>{gbk("熊猫:连接失败")});
    EXPECT_FALSE(login->isEnabled());
}

TEST_F(DialogTest, EveryCancelWayEndsAFloodingFeederAtOnce) {
    const std::function<void(CSonaroDlg&)> ways[] = {
        [](CSonaroDlg& dialog) { control<QPushButton>(dialog, 2)->click(); },
        [](CSonaroDlg& dialog) { QTest::keyClick(&dialog, Qt::Key_Escape); },
        [](CSonaroDlg& dialog) { dialog.close(); },
    };
    usePandaFeeder("", true);
    for (const auto& cancel : ways) {
        sent = 0;
        DialogOptions options;
        options.platform = 1;
        auto dialog = open(options);
        control<QPushButton>(*dialog, 1004)->click();
        ASSERT_TRUE(pumpUntil([&] { return sent > 50; }));
        EXPECT_EQ(control<QLabel>(*dialog, 1016)->text(), QStringLiteral("熊猫:"));

        const auto begin = std::chrono::steady_clock::now();
        cancel(*dialog);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(1));
        EXPECT_FALSE(dialog->serving());
        EXPECT_FALSE(dialog->isVisible());
    }
}
