// OpenGL context, buffer swap and the Dear ImGui popup menu.
#include "app/kvBaseGL.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include "app/kvEncoderModule.h"
#include "app/kvImGuiWindow.h"
#include "app/kvMessages.h"
#include "render/kvRenderGL.h"

namespace Korvell {

kvBaseGL::kvBaseGL() : glContext(nullptr), imgui(nullptr), samples(-1) {}

kvBaseGL::~kvBaseGL()
{
    releaseApi();
}

// On X11 a refused sample count fails at window creation, so every try
// recreates the (still hidden) window with the attributes set first. An
// sRGB-capable framebuffer is asked for (text blends in linear light on
// it), and done without where refused.
bool kvBaseGL::tryContext(int sampleCount, bool srgb)
{
    sampleAttempts.push_back(sampleCount);
    SDL_GL_ResetAttributes();
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_ACCELERATED_VISUAL, 1);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLEBUFFERS, sampleCount > 0 ? 1 : 0);
    SDL_GL_SetAttribute(SDL_GL_MULTISAMPLESAMPLES, sampleCount);
    SDL_GL_SetAttribute(SDL_GL_FRAMEBUFFER_SRGB_CAPABLE, srgb ? 1 : 0);

    if (window) SDL_DestroyWindow(window);
    window = createWindowHandle(windowTitle);
    if (!window) return false;
    SDL_GLContext ctx = SDL_GL_CreateContext(window);
    if (!ctx) return false;
    if (SDL_GL_MakeCurrent(window, ctx) != 0) {
        SDL_GL_DeleteContext(ctx);
        return false;
    }
    glContext = ctx;
    samples = sampleCount;
    readClientSize();
    return true;
}

bool kvBaseGL::makeContext()
{
    bool ok = false;
    for (bool srgb : {true, false}) {
        for (int s = maxSamples; s > 0 && !ok; s -= 2) ok = tryContext(s, srgb);
        if (!ok) ok = tryContext(0, srgb);
        if (ok) break;
    }
    return ok;
}

void kvBaseGL::prepareAhead(int w, int h, bool full)
{
    if (window || glContext || aheadWindow) return;
    setMode(w, h, refreshRate, full);
    if (!createAppWindow("Korvell")) return;
    if (makeContext()) {
        aheadContext = glContext;
        aheadSamples = samples;
        glContext = nullptr;
        SDL_GL_MakeCurrent(window, nullptr);
    }
    aheadWindow = window;
    window = nullptr;
}

bool kvBaseGL::initApi()
{
    if (!window || glContext) return false;
    bool ok = false;
    if (aheadContext && SDL_GL_MakeCurrent(window, aheadContext) == 0) {
        glContext = aheadContext;
        samples = aheadSamples;
        ok = true;
    } else if (aheadContext) {
        SDL_GL_DeleteContext(aheadContext);
    }
    aheadContext = nullptr;
    if (!ok) ok = makeContext();
    if (!ok) return false;
    SDL_GL_SetSwapInterval(1);
    // The popup menu keeps ImGui's built-in font, as a small system menu.
    imgui = createImGuiContext(window, glContext, false, nullptr);
    kvRenderGL* gl = new kvRenderGL();
    // Clips are decoded by FFmpeg in the module, loaded when the first is met.
    gl->setClipMaker(makeClipDecoderInModule);
    renderer = gl;
    return true;
}

bool kvBaseGL::releaseApi()
{
    if (!window || !glContext) return false;
    delete renderer;
    renderer = nullptr;
    if (imgui) {
        destroyImGuiContext(imgui);
        imgui = nullptr;
    }
    SDL_GL_MakeCurrent(window, nullptr);
    SDL_GL_DeleteContext(glContext);
    glContext = nullptr;
    return true;
}

void kvBaseGL::beginFrame() {}

void kvBaseGL::feedEvent(const SDL_Event& event)
{
    if (imgui) ImGui_ImplSDL2_ProcessEvent(&event);
}

void kvBaseGL::endFrame()
{
    if (!glContext) return;
    if (popupActive && imgui) drawPopupMenu();
    SDL_GL_SwapWindow(window);
}

namespace {
// A menu entry whose label marks its mnemonic with '&' as Windows menus do:
// the '&' is not drawn, the letter after it is underlined.
bool mnemonicItem(const char* label, bool enabled)
{
    std::string text;
    int underline = -1;
    for (const char* p = label; *p; ++p) {
        if (*p == '&' && p[1] && p[1] != '&') {
            underline = static_cast<int>(text.size());
            continue;
        }
        text += *p;
    }
    bool chosen = ImGui::MenuItem(text.c_str(), nullptr, false, enabled);
    if (underline >= 0) {
        // A menu item's rectangle reaches half the item spacing past its text
        // on every side.
        ImVec2 min = ImGui::GetItemRectMin();
        const ImGuiStyle& style = ImGui::GetStyle();
        float x0 = min.x + style.ItemSpacing.x * 0.5f
                   + ImGui::CalcTextSize(text.c_str(), text.c_str() + underline).x;
        float x1 = x0 + ImGui::CalcTextSize(text.c_str() + underline, text.c_str() + underline + 1).x;
        float y = min.y + style.ItemSpacing.y * 0.5f + ImGui::GetFontSize();
        ImU32 col = ImGui::GetColorU32(enabled ? ImGuiCol_Text : ImGuiCol_TextDisabled);
        ImGui::GetWindowDrawList()->AddLine(ImVec2(x0, y), ImVec2(x1, y), col);
    }
    return chosen;
}
} // namespace

void kvBaseGL::drawPopupMenu()
{
    ImGui::SetCurrentContext(imgui);
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    if (popupRequested) {
        popupRequested = false;
        ImGui::SetNextWindowPos(ImVec2(static_cast<float>(popupX), static_cast<float>(popupY)));
        ImGui::OpenPopup("korvell-popup");
    }
    if (ImGui::BeginPopup("korvell-popup")) {
        mnemonicItem("&Next Image (LMB)", false);
        mnemonicItem("&Previous Image", false);
        ImGui::Separator();
        if (mnemonicItem("&Quit", true)) {
            postCommand(IDM_QUIT);
            ImGui::CloseCurrentPopup();
            popupActive = false;
        }
        ImGui::EndPopup();
    } else {
        popupActive = false;
    }
    ImGui::Render();
    // ImGui draws through the current texture matrix, which must not be a
    // slide's.
    if (renderer) renderer->setTextureMatrix(nullptr);
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
}

} // namespace Korvell
