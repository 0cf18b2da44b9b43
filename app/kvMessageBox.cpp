// Error box on Dear ImGui, with SDL's box and stderr as fallbacks.
#include "app/kvMessageBox.h"

#include <imgui.h>

#include <cstdio>

#include "app/kvImGuiWindow.h"
#include "app/kvLiveDisplay.h"
#include "app/kvSignals.h"

namespace Korvell {

namespace {

const int kWidth = 440;
const float kPad = 16.0f;
const float kSign = 32.0f;
const ImVec2 kButton(88.0f, 26.0f);

void drawErrorSign(ImVec2 at)
{
    ImDrawList* dl = ImGui::GetWindowDrawList();
    const ImVec2 c(at.x + kSign * 0.5f, at.y + kSign * 0.5f);
    dl->AddCircleFilled(c, kSign * 0.5f, IM_COL32(200, 30, 30, 255), 32);
    const float d = kSign * 0.2f;
    dl->AddLine(ImVec2(c.x - d, c.y - d), ImVec2(c.x + d, c.y + d), IM_COL32_WHITE, 3.0f);
    dl->AddLine(ImVec2(c.x - d, c.y + d), ImVec2(c.x + d, c.y - d), IM_COL32_WHITE, 3.0f);
}

// False when the window could not open at all.
bool runOwnBox(const std::string& title, const std::string& text)
{
    kvImGuiWindow box;
    if (!box.open(title.c_str(), kWidth, 120, true)) return false;
    const Uint32 id = SDL_GetWindowID(box.getWindow());
    const float textX = kPad * 2 + kSign;
    const float wrap = static_cast<float>(kWidth) - textX - kPad;
    bool shown = false;
    bool done = false;
    while (!done && !quitSignal()) {
        SDL_Event e;
        bool any = box.pollEvent(e);
        if (!any) SDL_Delay(15);
        while (any) {
            if (messageBoxAcknowledges(e, id)) done = true;
            any = box.pollEvent(e);
        }
        if (done) break;

        box.beginFrame();
        const float textH = ImGui::CalcTextSize(text.c_str(), nullptr, false, wrap).y;
        const float bodyH = textH > kSign ? textH : kSign;
        const int wantH = static_cast<int>(kPad + bodyH + kPad + kButton.y + kPad);
        drawErrorSign(ImVec2(ImGui::GetWindowPos().x + kPad, ImGui::GetWindowPos().y + kPad));
        ImGui::SetCursorPos(ImVec2(textX, kPad + (bodyH - textH) * 0.5f));
        ImGui::PushTextWrapPos(textX + wrap);
        ImGui::TextUnformatted(text.c_str());
        ImGui::PopTextWrapPos();
        ImGui::SetCursorPos(ImVec2(static_cast<float>(kWidth) - kPad - kButton.x, kPad + bodyH + kPad));
        if (ImGui::Button("OK", kButton)) done = true;
        box.endFrame(0.94f, 0.94f, 0.94f);
        // The first frame measures the text; the window takes its height
        // before it is shown.
        if (!shown) {
            if (wantH != box.getHeight()) box.resize(kWidth, wantH);
            box.show();
            shown = true;
        }
    }
    return true;
}

} // namespace

bool messageBoxAcknowledges(const SDL_Event& e, Uint32 windowId)
{
    switch (e.type) {
    case SDL_QUIT:
        return true;
    case SDL_WINDOWEVENT:
        return e.window.event == SDL_WINDOWEVENT_CLOSE && e.window.windowID == windowId;
    case SDL_KEYDOWN: {
        const SDL_Keycode k = e.key.keysym.sym;
        return k == SDLK_RETURN || k == SDLK_KP_ENTER || k == SDLK_ESCAPE || k == SDLK_SPACE;
    }
    default:
        return false;
    }
}

void showMessageBox(const std::string& title, const std::string& text)
{
    // First, since without a display neither box can show.
    std::fprintf(stderr, "korvell: %s\n", text.c_str());
    // Without a screen a box would wait for an answer nobody can give.
    std::string why;
    if (!startLiveDisplay(&why)) {
        std::fprintf(stderr, "korvell: %s\n", why.c_str());
        return;
    }
    if (runOwnBox(title, text)) return;
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), nullptr) != 0)
        std::fprintf(stderr, "korvell: no message box could be shown: %s\n", SDL_GetError());
}

} // namespace Korvell
