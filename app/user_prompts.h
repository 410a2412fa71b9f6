// The message boxes the dialog shows; a seam so tests can answer them.
//
// Threads: the user-interface thread only.
#pragma once

#include <QString>
#include <memory>

class QWidget;

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    // Shows `text` with a single OK button and returns once it is closed.
    virtual void inform(QWidget* parent, const QString& caption, const QString& text) = 0;
    // Asks a yes-or-no question; true for yes.
    virtual bool ask(QWidget* parent, const QString& caption, const QString& text);
    // Opens a local file in the user's editor; false when nothing could.
    virtual bool openFile(const QString& nativePath);
};

std::shared_ptr<UserPrompts> messageBoxPrompts();
