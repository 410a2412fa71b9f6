#include "app/dialog_widgets.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QSlider>

#include "util/text.h"

namespace app {

QString fromGbk(const std::string& gbk) {
    std::u16string wide = util::localToWide(gbk);
    return QString::fromUtf16(wide.data(), static_cast<qsizetype>(wide.size()));
}

std::string toGbk(const QString& text) {
    return util::wideToLocal(std::u16string_view(reinterpret_cast<const char16_t*>(text.utf16()),
                                                 static_cast<std::size_t>(text.size())));
}

QLineEdit* numberEdit(int id, bool digitsOnly) {
    auto* edit = withId(new QLineEdit, id);
    if (digitsOnly) {
        edit->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    }
    edit->setMaximumWidth(90);
    return edit;
}

QSlider* trackbar(int id) {
    auto* slider = withId(new QSlider(Qt::Horizontal), id);
    slider->setRange(0, 100);
    slider->setMinimumWidth(160);
    return slider;
}

QWidget* withValue(QSlider* slider) {
    auto* row = new QWidget;
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* value = new QLabel;
    value->setMinimumWidth(28);
    QObject::connect(slider, &QSlider::valueChanged, value, [value](int v) { value->setNum(v); });
    value->setNum(slider->value());
    layout->addWidget(slider, 1);
    layout->addWidget(value);
    return row;
}

}  // namespace app
