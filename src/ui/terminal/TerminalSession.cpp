// The controlling terminal through ncursesw: the only file that includes it, as only the win32
// folder includes windows.h.
#include "ui/terminal/TerminalSession.h"

#ifndef NCURSES_WIDECHAR
#define NCURSES_WIDECHAR 1
#endif
#include <curses.h>
#include <dlfcn.h>
#include <langinfo.h>

#include <clocale>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <string>

namespace dornel {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGABRT, SIGSEGV, SIGBUS, SIGFPE};
constexpr int kSignalCount = sizeof kSignals / sizeof kSignals[0];

/// The session a signal must restore: one at a time, since dialogs are modal.
SCREEN* activeScreen = nullptr;
struct sigaction previousActions[kSignalCount];
std::string previousLocale;

void RestoreSignals() {
    for (int k = 0; k < kSignalCount; ++k)
        sigaction(kSignals[k], &previousActions[k], nullptr);
}

extern "C" void RestoreAndRaise(int signal) {
    // The terminal first, then whatever would have happened: the program's own handler (which
    // removes its temporary files) or the default end.
    if (activeScreen) {
        set_term(activeScreen);
        endwin();
        activeScreen = nullptr;
    }
    RestoreSignals();
    std::raise(signal);
}

chtype AsciiFor(char32_t ch) {
    switch (ch) {
        case U'\u2500':
            return ACS_HLINE;
        case U'\u2502':
            return ACS_VLINE;
        case U'\u250C':
            return ACS_ULCORNER;
        case U'\u2510':
            return ACS_URCORNER;
        case U'\u2514':
            return ACS_LLCORNER;
        case U'\u2518':
            return ACS_LRCORNER;
        case U'\u2591':
            return ACS_CKBOARD;
        case U'\u2588':
            return ' ' | A_REVERSE;
        case U'\u25B2':
            return '^';
        case U'\u25BC':
            return 'v';
        case U'\u2026':
            return '~';
        case U'\u00B7':
            return '.';
        default:
            return ch < 0x7F && ch >= 0x20 ? static_cast<chtype>(ch) : '?';
    }
}

/// Keeps the curses libraries loaded when the plug-in is unloaded: they keep what they learned
/// of the terminal for the whole process, and dropping them with the plug-in would orphan it.
void KeepCursesLoaded() {
    static const bool kept = [] {
        for (void* symbol :
             {reinterpret_cast<void*>(&newterm), reinterpret_cast<void*>(&tigetnum)}) {
            Dl_info info{};
            if (dladdr(symbol, &info) && info.dli_fname)
                dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD | RTLD_NODELETE);
        }
        return true;
    }();
    (void)kept;
}

}  // namespace

bool TerminalSession::Open() {
    FILE* tty = std::fopen("/dev/tty", "r+");
    if (!tty)
        return false;
    KeepCursesLoaded();
    const char* locale = std::setlocale(LC_CTYPE, nullptr);
    previousLocale = locale ? locale : "C";
    std::setlocale(LC_CTYPE, "");
    utf8_ = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
    // Escape alone cancels; a short wait tells it from the keys that begin with it.
    set_escdelay(25);
    SCREEN* screen = newterm(nullptr, tty, tty);
    if (!screen) {
        std::fclose(tty);
        std::setlocale(LC_CTYPE, previousLocale.c_str());
        return false;
    }
    file_ = tty;
    screen_ = screen;
    set_term(screen);
    cbreak();
    noecho();
    nonl();
    keypad(stdscr, TRUE);
    mousemask(BUTTON1_PRESSED | BUTTON4_PRESSED | BUTTON5_PRESSED, nullptr);
    mouseinterval(0);
    // No colours are needed: attributes say everything, so a monochrome terminal shows it all.
    // Where colours are allowed, grey text is grey rather than merely dim.
    const char* noColor = std::getenv("NO_COLOR");
    if (has_colors() && !(noColor && *noColor) && start_color() == OK && COLORS >= 16) {
        use_default_colors();
        greyColour_ = init_pair(1, 8, -1) == OK;
    }
    activeScreen = screen;
    for (int k = 0; k < kSignalCount; ++k) {
        struct sigaction action = {};
        action.sa_handler = RestoreAndRaise;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND;
        sigaction(kSignals[k], &action, &previousActions[k]);
    }
    return true;
}

TerminalSession::~TerminalSession() {
    Close();
}

void TerminalSession::Close() {
    if (!screen_)
        return;
    RestoreSignals();
    activeScreen = nullptr;
    SCREEN* screen = static_cast<SCREEN*>(screen_);
    set_term(screen);
    endwin();
    delscreen(screen);
    std::fclose(static_cast<FILE*>(file_));
    std::setlocale(LC_CTYPE, previousLocale.c_str());
    screen_ = file_ = nullptr;
}

int TerminalSession::Columns() const {
    return COLS;
}

int TerminalSession::Rows() const {
    return LINES;
}

void TerminalSession::Show(const CellScreen& cells, int col, int row) {
    erase();
    for (int r = 0; r < cells.Height() && r < LINES; ++r) {
        for (int c = 0; c < cells.Width() && c < COLS; ++c) {
            const Cell& cell = cells.At(c, r);
            attr_t attr = A_NORMAL;
            if (cell.attr & kAttrDim)
                attr |= greyColour_ ? COLOR_PAIR(1) : A_DIM;
            if (cell.attr & kAttrReverse)
                attr |= A_REVERSE;
            if (cell.attr & kAttrBold)
                attr |= A_BOLD;
            if (cell.attr & kAttrUnderline)
                attr |= A_UNDERLINE;
            // One cell per character: a character the terminal would draw wider is replaced.
            if (utf8_ && cell.ch >= 0x20 && wcwidth(static_cast<wchar_t>(cell.ch)) == 1) {
                const wchar_t text[2] = {static_cast<wchar_t>(cell.ch), 0};
                cchar_t wide;
                setcchar(&wide, text, attr, 0, nullptr);
                mvadd_wch(r, c, &wide);
            } else if (utf8_ && cell.ch >= 0x80) {
                mvaddch(r, c, '?' | attr);
            } else {
                mvaddch(r, c, AsciiFor(cell.ch) | attr);
            }
        }
    }
    if (col >= 0) {
        curs_set(1);
        move(row, col);
    } else {
        curs_set(0);
    }
    refresh();
}

TerminalSession::Input TerminalSession::Read(KeyEvent& key) {
    key = KeyEvent{};
    wint_t ch = 0;
    int got = get_wch(&ch);
    if (got == ERR)
        return Input::Closed;
    if (got == OK && ch == 27) {
        // Escape, or Alt with a key: the key follows at once.
        timeout(30);
        wint_t next = 0;
        const int after = get_wch(&next);
        timeout(-1);
        if (after != OK) {
            key.kind = KeyEvent::Escape;
            return Input::Key;
        }
        key.alt = true;
        ch = next;
    }
    if (got == KEY_CODE_YES) {
        switch (ch) {
            case KEY_RESIZE:
                return Input::Resized;
            case KEY_BTAB:
                key.kind = KeyEvent::BackTab;
                break;
            case KEY_UP:
                key.kind = KeyEvent::Up;
                break;
            case KEY_DOWN:
                key.kind = KeyEvent::Down;
                break;
            case KEY_LEFT:
                key.kind = KeyEvent::Left;
                break;
            case KEY_RIGHT:
                key.kind = KeyEvent::Right;
                break;
            case KEY_PPAGE:
                key.kind = KeyEvent::PageUp;
                break;
            case KEY_NPAGE:
                key.kind = KeyEvent::PageDown;
                break;
            case KEY_HOME:
                key.kind = KeyEvent::Home;
                break;
            case KEY_END:
                key.kind = KeyEvent::End;
                break;
            case KEY_BACKSPACE:
                key.kind = KeyEvent::Backspace;
                break;
            case KEY_DC:
                key.kind = KeyEvent::Delete;
                break;
            case KEY_ENTER:
                key.kind = KeyEvent::Enter;
                break;
            case KEY_MOUSE: {
                MEVENT event;
                if (getmouse(&event) != OK)
                    return Input::Resized;
                key.col = event.x;
                key.row = event.y;
                key.kind = event.bstate & BUTTON4_PRESSED   ? KeyEvent::WheelUp
                           : event.bstate & BUTTON5_PRESSED ? KeyEvent::WheelDown
                                                            : KeyEvent::Click;
                break;
            }
            default:
                return Input::Resized;  // a key of no meaning here: just draw again
        }
        return Input::Key;
    }
    switch (ch) {
        case '\t':
            key.kind = KeyEvent::Tab;
            break;
        case '\r':
        case '\n':
            key.kind = KeyEvent::Enter;
            break;
        case 127:
        case 8:
            key.kind = KeyEvent::Backspace;
            break;
        default:
            if (ch < 0x20)
                return Input::Resized;
            key.kind = KeyEvent::Char;
            key.ch = static_cast<char32_t>(ch);
            break;
    }
    return Input::Key;
}

}  // namespace dornel
