// Small pieces the main dialog builds its controls from, and the conversions
// between its texts (Qt) and the program's (GBK).
//
// Threads: the user-interface thread only.
#pragma once

#include <QString>
#include <string>

class QLineEdit;
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

// A number edit; `digitsOnly` refuses anything but digits as they are typed.
QLineEdit* numberEdit(int id, bool digitsOnly);
// A trackbar over 0 to 100.
QSlider* trackbar(int id);
// A trackbar with its position shown beside it.
QWidget* withValue(QSlider* slider);

}  // namespace app
