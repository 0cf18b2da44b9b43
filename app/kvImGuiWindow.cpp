// SDL window, GL context and ImGui context for a dialog-sized window.
#include "app/kvImGuiWindow.h"

#include <imgui.h>
#include <backends/imgui_impl_opengl2.h>
#include <backends/imgui_impl_sdl.h>

#include <cstdio>
#include <string>

#include "app/kvLiveDisplay.h"
#include "render/kvFont.h"
#include "render/kvRenderGL.h"

namespace Korvell {

ImGuiContext* createImGuiContext(SDL_Window* window, SDL_GLContext gl, bool lightStyle, const char* face)
{
    ImGuiContext* context = ImGui::CreateContext();
    ImGui::SetCurrentContext(context);
    ImGuiIO& io = ImGui::GetIO();
    io.IniFilename = nullptr;
    io.LogFilename = nullptr;
    if (lightStyle)
        ImGui::StyleColorsLight();
    else
        ImGui::StyleColorsDark();
    if (face) {
        std::string file = kvFont::findFontFile(face);
        if (!file.empty()) io.Fonts->AddFontFromFileTTF(file.c_str(), 15.0f);
    }
    ImGui_ImplSDL2_InitForOpenGL(window, gl);
    ImGui_ImplOpenGL2_Init();
    return context;
}

void destroyImGuiContext(ImGuiContext* context)
{
    ImGui::SetCurrentContext(context);
    ImGui_ImplOpenGL2_Shutdown();
    ImGui_ImplSDL2_Shutdown();
    ImGui::DestroyContext(context);
}

kvImGuiWindow::kvImGuiWindow()
    : window(nullptr), gl(nullptr), context(nullptr), previousWindow(nullptr), previousGL(nullptr),
      previousContext(nullptr), width(0), height(0)
{
}

kvImGuiWindow::~kvImGuiWindow() { close(); }

bool kvImGuiWindow::open(const char* title, int w, int h, bool lightStyle)
{
    std::string why;
    if (!startLiveDisplay(&why)) {
        std::fprintf(stderr, "korvell: %s\n", why.c_str());
        return false;
    }
    width = w;
    height = h;
    previousWindow = SDL_GL_GetCurrentWindow();
    previousGL = SDL_GL_GetCurrentContext();
    previousContext = ImGui::GetCurrentContext();
    for (int attempt = 0; attempt < 5 && !gl; ++attempt) {
        if (attempt > 0) SDL_Delay(200);
        SDL_GL_ResetAttributes();
        SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
        window = SDL_CreateWindow(title, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                  SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
        if (window) gl = SDL_GL_CreateContext(window);
        if (!gl) {
            std::fprintf(stderr, "korvell: cannot open the window \"%s\": %s\n", title, SDL_GetError());
            if (window) SDL_DestroyWindow(window);
            window = nullptr;
        }
    }
    if (!gl) return false;
    SDL_GL_MakeCurrent(window, gl);
    SDL_GL_SetSwapInterval(1);

    // A TrueType face when the system has one; ImGui's built-in font
    // otherwise. Neither needs the X server's fonts.
    context = createImGuiContext(window, gl, lightStyle, "Liberation Sans");
    ImGuiStyle& style = ImGui::GetStyle();
    style.WindowRounding = 0.0f;
    style.FrameBorderSize = 1.0f;
    style.WindowPadding = ImVec2(0, 0);
    return true;
}

void kvImGuiWindow::resize(int w, int h)
{
    width = w;
    height = h;
    if (!window) return;
    SDL_SetWindowSize(window, w, h);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void kvImGuiWindow::show()
{
    if (!window) return;
    SDL_ShowWindow(window);
    SDL_RaiseWindow(window);
}

void kvImGuiWindow::makeCurrent()
{
    if (window && gl) SDL_GL_MakeCurrent(window, gl);
}

bool kvImGuiWindow::pollEvent(SDL_Event& event)
{
    if (!SDL_PollEvent(&event)) return false;
    if (context) ImGui_ImplSDL2_ProcessEvent(&event);
    return true;
}

void kvImGuiWindow::beginFrame()
{
    ImGui_ImplOpenGL2_NewFrame();
    ImGui_ImplSDL2_NewFrame();
    ImGui::NewFrame();
    ImGui::SetNextWindowPos(ImVec2(0, 0));
    ImGui::SetNextWindowSize(ImVec2(static_cast<float>(width), static_cast<float>(height)));
    ImGui::Begin("window", nullptr,
                 ImGuiWindowFlags_NoDecoration | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoSavedSettings
                     | ImGuiWindowFlags_NoBringToFrontOnFocus);
}

void kvImGuiWindow::endFrame(float r, float g, float b)
{
    ImGui::End();
    ImGui::Render();
    kvRenderGL::clearWindow(width, height, vector3(r, g, b));
    ImGui_ImplOpenGL2_RenderDrawData(ImGui::GetDrawData());
    SDL_GL_SwapWindow(window);
}

void kvImGuiWindow::close()
{
    if (context) {
        destroyImGuiContext(context);
        context = nullptr;
        ImGui::SetCurrentContext(previousContext);
    }
    if (gl) {
        SDL_GL_MakeCurrent(window, nullptr);
        SDL_GL_DeleteContext(gl);
        gl = nullptr;
        if (previousGL) SDL_GL_MakeCurrent(previousWindow, previousGL);
    }
    if (window) {
        SDL_DestroyWindow(window);
        window = nullptr;
        // Events of this window must not reach the next one.
        SDL_PumpEvents();
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}

} // namespace Korvell
