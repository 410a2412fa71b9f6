// Small pieces the main dialog builds its controls from, and the conversions
// between its texts (Qt) and the program's (GBK).
//
// Threads: the user-interface thread only.
#pragma once

#include <QString>
#include <span>
#include <string>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSlider;
class QWidget;

namespace app {

QString fromGbk(const std::string& gbk);
std::string toGbk(const QString& text);

// Object names carry the control ids, so tests and tools find controls by id.
template <typename Widget>
Widget* withId(Widget* widget, int id) {
    widget->setObjectName(QString::number(id));
    return widget;
}

// The voice list's entries, in the engine's voice order (UTF-8).
std::span<const char* const> voiceNames();
// The platform list's entries, in the order of the feeder factories (UTF-8).
std::span<const char* const> platformNames();

// The external engine's command edit, the switch that hands it the text
// unchanged, and its trial button, as one row.
QWidget* engineRow(QLineEdit*& command, QCheckBox*& rawText, QPushButton*& trial);

// The switches of the viewers' gestures that platforms of today send:
// follows (1022), shares (1023) and likes (1024).
void interactionSwitches(QCheckBox*& follows, QCheckBox*& shares, QCheckBox*& likes);

// A number edit; `digitsOnly` refuses anything but digits as they are typed.
QLineEdit* numberEdit(int id, bool digitsOnly);
// `edit` with "秒" beside it.
QWidget* secondsRow(QLineEdit* edit);
// A digits-only edit named `objectName` with "秒" beside it, for a number of
// seconds where 0 means off.
QWidget* secondsField(QLineEdit*& edit, const char* objectName, const char16_t* toolTip);
inline constexpr char16_t kCooldownTip[] = u"同一观众的弹幕, 距上一条读出的不到这么多秒就不读 (0: 不限)";
inline constexpr char16_t kMaxWaitTip[] = u"弹幕等待超过这么多秒就不再读 (如暂停之后; 0: 不限)";

// A trackbar over 0 to 100.
QSlider* trackbar(int id);
// A trackbar with its position shown beside it.
QWidget* withValue(QSlider* slider);

}  // namespace app
