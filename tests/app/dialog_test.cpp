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
#include <deque>
#include <filesystem>
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
        feeders[1] = [this](boost::asio::io_context&, MessageWindow& window, const std::atomic<bool>&) {
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
    EXPECT_TRUE(prompts->texts[0].contains("1") && prompts->texts[0].contains("100"));
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
