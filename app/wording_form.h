// The small form behind "模板...": the five announcement templates, the
// minimum gift value and the two replacement lists.
//
// Threads: the user-interface thread.
#pragma once

#include <functional>

#include <QDialog>

#include "app/config_file.h"

class QLineEdit;
class QSpinBox;

class WordingForm : public QDialog {
  public:
    // `openList` opens a list file (by its file name) in the host's editor.
    WordingForm(const app::Settings& shown, std::function<void(const char* fileName)> openList,
                QWidget* parent = nullptr);

    // Copies what the form shows into `out`; line breaks are dropped.
    void take(app::Settings& out) const;

  private:
    QLineEdit* chat_ = nullptr;
    QLineEdit* gift_ = nullptr;
    QLineEdit* welcome_ = nullptr;
    QLineEdit* follow_ = nullptr;
    QLineEdit* paid_ = nullptr;
    QSpinBox* minGiftValue_ = nullptr;
};
