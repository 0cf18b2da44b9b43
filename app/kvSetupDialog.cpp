// The setup dialog on Dear ImGui in a small SDL window of its own, laid out
// from the dialog template at 2 pixels per dialog unit (239 x 100 units).
// It keeps its own focus order so that the keyboard works as in a native
// dialog: Tab between controls, Space to press or toggle, arrows to choose
// in a list, Enter for "Demo", Escape for "Die".
#include "app/kvSetupDialog.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>

#include "app/kvBaseApp.h"
#include "app/kvImGuiWindow.h"
#include "app/kvSignals.h"

namespace Korvell {

namespace {

const float kUnit = 2.0f; // pixels per dialog unit
const int kClientW = 478;
const int kClientH = 200;

struct Rect {
    float x, y, w, h;
};
// Template rectangles in dialog units.
const Rect kRects[kvSetupDialog::CONTROL_COUNT] = {
    {182, 7, 50, 14},   // Demo
    {182, 24, 50, 14},  // Die
    {15, 19, 105, 12},  // resolution (closed height)
    {122, 19, 48, 12},  // refresh rate
    {15, 36, 63, 10},   // Run windowed
    {14, 63, 155, 12},  // language
    {81, 36, 33, 10},   // Noise
};

ImVec2 px(float x, float y) { return ImVec2(x * kUnit, y * kUnit); }

void groupBox(const char* label, float x, float y, float w, float h)
{
    ImDrawList* dl = ImGui::GetWindowDrawList();
    ImVec2 origin = ImGui::GetWindowPos();
    ImVec2 a(origin.x + x * kUnit, origin.y + y * kUnit + ImGui::GetFontSize() * 0.5f);
    ImVec2 b(origin.x + (x + w) * kUnit, origin.y + (y + h) * kUnit);
    ImU32 line = ImGui::GetColorU32(ImGuiCol_Border);
    ImVec2 textSize = ImGui::CalcTextSize(label);
    float tx = a.x + 8.0f;
    dl->AddLine(a, ImVec2(tx - 3.0f, a.y), line);
    dl->AddLine(ImVec2(tx + textSize.x + 3.0f, a.y), ImVec2(b.x, a.y), line);
    dl->AddLine(ImVec2(b.x, a.y), b, line);
    dl->AddLine(b, ImVec2(a.x, b.y), line);
    dl->AddLine(ImVec2(a.x, b.y), a, line);
    dl->AddText(ImVec2(tx, origin.y + y * kUnit), ImGui::GetColorU32(ImGuiCol_Text), label);
}

bool combo(const char* id, int* current, const std::vector<std::string>& items, const Rect& r)
{
    ImGui::SetCursorPos(px(r.x, r.y));
    ImGui::SetNextItemWidth(r.w * kUnit);
    bool changed = false;
    const char* preview = (*current >= 0 && *current < static_cast<int>(items.size()))
                              ? items[static_cast<size_t>(*current)].c_str()
                              : "";
    if (ImGui::BeginCombo(id, preview)) {
        for (size_t i = 0; i < items.size(); ++i) {
            bool selected = static_cast<int>(i) == *current;
            if (ImGui::Selectable(items[i].c_str(), selected)) {
                *current = static_cast<int>(i);
                changed = true;
            }
            if (selected) ImGui::SetItemDefaultFocus();
        }
        ImGui::EndCombo();
    }
    return changed;
}

} // namespace

kvSetupDialog::kvSetupDialog(kvBaseApp& app_)
    : resolution(0), refresh(0), language(0), windowed(false), noise(false), focus(DEMO), app(app_)
{
    const auto& res = app.getResolutions();
    for (size_t i = 0; i < res.size(); ++i) {
        // The last mode inside 640..1024 by 480..768 is the default.
        if (res[i].first >= 640 && res[i].first <= 1024 && res[i].second >= 480 && res[i].second <= 768)
            resolution = static_cast<int>(i);
        char text[64];
        std::snprintf(text, sizeof text, "%i x %i", res[i].first, res[i].second);
        resolutionTexts.push_back(text);
    }
    for (int rate : app.getRefreshRates()) {
        char text[32];
        std::snprintf(text, sizeof text, "%i Hz", rate);
        refreshTexts.push_back(text);
    }
    // The language list sorts its items.
    languageTexts = {"English", "Polish"};
    std::sort(languageTexts.begin(), languageTexts.end());
}


void kvSetupDialog::accept()
{
    const std::string& lang = languageTexts[static_cast<size_t>(language)];
    app.setScriptFile(lang == "English" ? "english.xml" : "polish.xml");
    const auto& res = app.getResolutions()[static_cast<size_t>(resolution)];
    int rate = app.getRefreshRates().empty() ? 0 : app.getRefreshRates()[static_cast<size_t>(refresh)];
    app.setMode(res.first, res.second, rate, !windowed);
    g_noiseEnabled = noise;
}

bool kvSetupDialog::run()
{
    if (app.getResolutions().empty()) return false;
    if (!runWindow()) return false;
    accept();
    return true;
}

kvSetupDialog::Result kvSetupDialog::handleKey(SDL_Keycode k, bool shift)
{
    switch (k) {
    case SDLK_ESCAPE:
        return RESULT_DIE;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
        return focus == DIE ? RESULT_DIE : RESULT_DEMO;
    case SDLK_TAB:
        focus = (focus + (shift ? CONTROL_COUNT - 1 : 1)) % CONTROL_COUNT;
        return GO_ON;
    case SDLK_SPACE:
        if (focus == DEMO) return RESULT_DEMO;
        if (focus == DIE) return RESULT_DIE;
        if (focus == WINDOWED) windowed = !windowed;
        if (focus == NOISE) noise = !noise;
        return GO_ON;
    case SDLK_UP:
    case SDLK_DOWN:
    case SDLK_LEFT:
    case SDLK_RIGHT: {
        const int step = (k == SDLK_UP || k == SDLK_LEFT) ? -1 : 1;
        int* sel = focus == RESOLUTION ? &resolution : focus == REFRESH ? &refresh : focus == LANGUAGE ? &language : nullptr;
        if (!sel) return GO_ON;
        const size_t count = focus == RESOLUTION ? resolutionTexts.size()
                             : focus == REFRESH  ? refreshTexts.size()
                                                 : languageTexts.size();
        *sel = std::max(0, std::min(static_cast<int>(count) - 1, *sel + step));
        return GO_ON;
    }
    default:
        return GO_ON;
    }
}

bool kvSetupDialog::runWindow()
{
    kvImGuiWindow dialog;
    if (!dialog.open("Korvell :: Setup", kClientW, kClientH, true)) {
        std::fprintf(stderr, "korvell: cannot show the setup dialog\n");
        return false;
    }
    dialog.show();
    const Uint32 id = SDL_GetWindowID(dialog.getWindow());

    int result = GO_ON;
    bool preparedAhead = false;
    while (result == GO_ON) {
        if (quitSignal()) return false;
        // Polling with a short sleep rather than SDL's wait, whose wake-up
        // message could reach this window after it is gone.
        SDL_Event e;
        bool any = dialog.pollEvent(e);
        if (!any) SDL_Delay(15);
        while (any) {
            const bool popupOpen = ImGui::IsPopupOpen("", ImGuiPopupFlags_AnyPopupId);
            if (e.type == SDL_QUIT) result = RESULT_DIE;
            if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_CLOSE && e.window.windowID == id)
                result = RESULT_DIE;
            // An open list takes the keyboard itself.
            if (e.type == SDL_KEYDOWN && !popupOpen && result == GO_ON)
                result = handleKey(e.key.keysym.sym, (e.key.keysym.mod & KMOD_SHIFT) != 0);
            any = dialog.pollEvent(e);
        }
        if (result != GO_ON) break;

        dialog.beginFrame();
        groupBox("Video mode", 7, 7, 168, 43);
        groupBox("Language selection", 7, 51, 168, 32);

        ImGui::SetCursorPos(px(kRects[DEMO].x, kRects[DEMO].y));
        if (ImGui::Button("Demo", px(kRects[DEMO].w, kRects[DEMO].h))) result = RESULT_DEMO;
        ImGui::SetCursorPos(px(kRects[DIE].x, kRects[DIE].y));
        if (ImGui::Button("Die", px(kRects[DIE].w, kRects[DIE].h))) result = RESULT_DIE;
        if (combo("##resolution", &resolution, resolutionTexts, kRects[RESOLUTION])) focus = RESOLUTION;
        if (combo("##refresh", &refresh, refreshTexts, kRects[REFRESH])) focus = REFRESH;
        ImGui::SetCursorPos(px(kRects[WINDOWED].x, kRects[WINDOWED].y));
        if (ImGui::Checkbox("Run windowed", &windowed)) focus = WINDOWED;
        ImGui::SetCursorPos(px(kRects[NOISE].x, kRects[NOISE].y));
        if (ImGui::Checkbox("Noise", &noise)) focus = NOISE;
        if (combo("##language", &language, languageTexts, kRects[LANGUAGE])) focus = LANGUAGE;
        ImGui::SetCursorPos(px(25, 84));
        ImGui::TextUnformatted("Pick a video mode and a language, then press Demo.");

        // The focus rectangle, as native dialogs draw it.
        {
            const Rect& r = kRects[focus];
            ImVec2 o = ImGui::GetWindowPos();
            ImVec2 a(o.x + r.x * kUnit - 2, o.y + r.y * kUnit - 2);
            ImVec2 b(o.x + (r.x + r.w) * kUnit + 2, o.y + (r.y + r.h) * kUnit + 2);
            ImGui::GetWindowDrawList()->AddRect(a, b, IM_COL32(40, 90, 200, 255), 0.0f, 0, 1.5f);
        }
        dialog.endFrame(0.94f, 0.94f, 0.94f);
        // Once the dialog is on the screen: the show's window, for the mode
        // offered now, is made while the user chooses.
        if (!preparedAhead) {
            preparedAhead = true;
            const auto& res = app.getResolutions()[static_cast<size_t>(resolution)];
            app.prepareAhead(res.first, res.second, !windowed);
            dialog.makeCurrent();
        }
    }
    return result == RESULT_DEMO;
}

} // namespace Korvell
