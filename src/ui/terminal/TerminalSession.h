// The controlling terminal while a dialog is shown on it.
#pragma once

#include "ui/terminal/CellScreen.h"
#include "ui/terminal/TerminalDialogHost.h"

namespace dornel {

/// The screen of /dev/tty, so that standard output stays free for what the command writes. The
/// terminal is given back as it was when the session ends: on return, on an exception passing,
/// and on the signals that end or crash the process.
class TerminalSession {
  public:
    TerminalSession() = default;
    ~TerminalSession();
    TerminalSession(const TerminalSession&) = delete;
    TerminalSession& operator=(const TerminalSession&) = delete;

    /// False when the process has no controlling terminal or its type is unknown.
    bool Open();
    int Columns() const;
    int Rows() const;
    /// Shows the cells; the cursor goes to (col, row), or is hidden when col is -1.
    void Show(const CellScreen& screen, int col, int row);

    enum class Input { Key, Resized, Closed };
    /// Waits for the next key, click or change of size.
    Input Read(KeyEvent& key);

  private:
    void Close();
    void* file_ = nullptr;    // FILE* of /dev/tty
    void* screen_ = nullptr;  // the curses SCREEN
    bool utf8_ = false;
    bool greyColour_ = false;
};

}  // namespace dornel
