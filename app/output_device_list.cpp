#include "app/output_device_list.h"

OutputDeviceList::OutputDeviceList(QWidget* parent) : QComboBox(parent) {
    setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    setMinimumContentsLength(16);
    setDevices({});
}

void OutputDeviceList::setDevices(const std::vector<std::string>& names) {
    const std::string chosen = count() > 0 ? choice() : std::string();
    clear();
    addItem(QStringLiteral("系统默认"), QString());
    for (const std::string& name : names) {
        if (!name.empty()) {
            const QString text = QString::fromStdString(name);
            addItem(text, text);
        }
    }
    setChoice(chosen);
}

void OutputDeviceList::setChoice(const std::string& name) {
    const QString wanted = QString::fromStdString(name);
    int index = findData(wanted);
    if (index < 0) {
        addItem(QStringLiteral("%1 (未连接)").arg(wanted), wanted);
        index = count() - 1;
    }
    setCurrentIndex(index);
}

std::string OutputDeviceList::choice() const {
    return currentData().toString().toStdString();
}
