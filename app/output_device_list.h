// The drop-down of playback devices: "系统默认" first, then the devices the
// audio library lists. A chosen device that is not listed (unplugged since)
// stays in the list, marked, so a save keeps the host's choice.
//
// Threads: the user-interface thread only.
#pragma once

#include <QComboBox>
#include <string>
#include <vector>

class OutputDeviceList : public QComboBox {
  public:
    explicit OutputDeviceList(QWidget* parent = nullptr);

    // Names in UTF-8, as the audio library reports them.
    void setDevices(const std::vector<std::string>& names);
    // Selects `name` (empty: the default), adding it when it is not listed.
    void setChoice(const std::string& name);
    // The selected device's name; empty for the default.
    std::string choice() const;
};
