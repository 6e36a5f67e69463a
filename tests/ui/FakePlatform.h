// Stand-ins for the window system in the user-interface tests: a preview window with scroll
// bars that clamp as the platform's do, and a dialog whose controls keep their states.
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/DialogHost.h"
#include "ui/PreviewCtl.h"

namespace dornel::test {

/// A window without a window system: a client rectangle, and scroll bars that clamp as the
/// platform's do.
class FakeWindow : public PreviewWindow {
  public:
    explicit FakeWindow(Rect client) : client_(client) {}
    Rect GetClientRect() override { return client_; }
    void SetScrollRange(int bar, int32_t minimum, int32_t maximum, int32_t page) override {
        bars_[bar].minimum = minimum;
        bars_[bar].maximum = maximum;
        bars_[bar].page = page;
        Clamp(bar);
    }
    void SetScrollPosition(int bar, int32_t position) override {
        bars_[bar].position = position;
        Clamp(bar);
    }
    ScrollState GetScrollState(int bar) override { return bars_[bar]; }
    void Invalidate() override { ++invalidations; }
    FontHandle CreateCellFont(int32_t weight, uint8_t, const char* face) override {
        cellFace = face;
        cellWeight = weight;
        return &fonts_[0];
    }
    FontHandle CreateIconTitleFont(int32_t height) override {
        iconHeights.push_back(height);
        return &fonts_[iconHeights.size()];
    }
    void DeleteFont(FontHandle) override { ++deletedFonts; }
    void Track(int bar, int32_t position) { bars_[bar].trackPosition = position; }
    FontHandle Font(int i) { return &fonts_[i]; }

    int invalidations = 0;
    int deletedFonts = 0;
    std::string cellFace;
    int32_t cellWeight = 0;
    std::vector<int32_t> iconHeights;

  private:
    void Clamp(int bar) {
        ScrollState& s = bars_[bar];
        const int32_t page = s.page == 0 ? 1 : s.page;
        s.position = std::max(0, std::min(s.position, s.maximum - (page - 1)));
    }
    Rect client_;
    ScrollState bars_[2];
    char fonts_[4] = {};
};

/// A dialog's controls without a window system. Setting an edit's text raises its text-changed
/// notification through dispatch, as on the platform.
class FakeDialogHost : public DialogHost {
  public:
    bool IsChecked(int id) override { return checked[id]; }
    void Check(int id, bool on) override { checked[id] = on; }
    void CheckRadio(int first, int last, int id) override {
        for (int i = first; i <= last; ++i)
            checked[i] = false;
        checked[id] = true;
    }
    std::string GetText(int id, size_t max) override { return texts[id].substr(0, max - 1); }
    void SetText(int id, const std::string& text) override {
        texts[id] = text;
        Notify(id, kEnChange);
    }
    void SetUnsigned(int id, uint32_t value) override { SetText(id, std::to_string(value)); }
    bool GetUnsigned(int id, uint32_t& value) override {
        const std::string& t = texts[id];
        if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos)
            return false;
        value = static_cast<uint32_t>(std::stoul(t));
        return true;
    }
    void Show(int id, bool shown) override { hidden[id] = !shown; }
    void Enable(int id, bool enabled) override { disabled[id] = !enabled; }
    void ComboAdd(int id, const std::string& text) override { combos[id].push_back(text); }
    void ComboSelect(int id, int index) override { selection[id] = index; }
    int ComboSelection(int id) override { return selection[id]; }
    PreviewCtl* QueryPreview(int) override { return preview; }
    void SetUpDownRange(int id, int32_t low, int32_t high) override { ranges[id] = {low, high}; }
    void AddContextHelpButton() override { contextHelp = true; }
    Rect DialogRect() override { return {100, 50, 650, 450}; }
    Rect ItemRect(int) override { return {110, 330, 600, 400}; }
    int32_t DialogFrameHeight() override { return 3; }
    void SetDialogHeight(int32_t h) override { height = h; }
    void AppendFilenameToTitle(const brisko::RString& path) override { titlePath = path.str(); }
    void CenterOnParent() override { centred = true; }
    void EndDialog(int result) override { ended = result; }

    /// What the user does: click a button, type into an edit, pick a list entry.
    void Click(int id) {
        if (checked.count(id) || id > 7)
            checked[id] = !checked[id];
        Notify(id, 0);
    }
    void ClickRadio(int first, int last, int id) {
        CheckRadio(first, last, id);
        Notify(id, 0);
    }
    void Type(int id, const std::string& text) { SetText(id, text); }
    void Pick(int id, int index) {
        selection[id] = index;
        Notify(id, kCbnSelChange);
    }

    std::function<void(unsigned, uintptr_t)> dispatch;
    std::map<int, bool> checked, hidden, disabled;
    std::map<int, std::string> texts;
    std::map<int, std::vector<std::string>> combos;
    std::map<int, int> selection;
    std::map<int, std::pair<int32_t, int32_t>> ranges;
    PreviewCtl* preview = nullptr;
    bool contextHelp = false;
    bool centred = false;
    int32_t height = 0;
    std::string titlePath;
    int ended = 0;

  private:
    void Notify(int id, unsigned code) {
        if (dispatch)
            dispatch(kWmCommand, static_cast<uintptr_t>(id) | (static_cast<uintptr_t>(code) << 16));
    }
};

}  // namespace dornel::test
