// A small window of its own drawn with Dear ImGui: what the setup dialog and
// the error box are made of. It opens its own SDL window, GL context and
// ImGui context (a few tries, since a freshly started X server can refuse
// the first), and needs no X core fonts: the text comes from a TrueType
// face found by fontconfig, or ImGui's own built-in font.
#pragma once

#include <SDL.h>

struct ImGuiContext;

namespace Korvell {

// An ImGui context drawing into an SDL window's GL context, made current:
// nothing saved to disk, and the named TrueType face at 15 pixels when
// fontconfig finds it (else ImGui's built-in font).
ImGuiContext* createImGuiContext(SDL_Window* window, SDL_GLContext gl, bool lightStyle, const char* face);
void destroyImGuiContext(ImGuiContext* context);

class kvImGuiWindow {
public:
    kvImGuiWindow();
    ~kvImGuiWindow();

    // Opens the window hidden; false (with the reason on stderr) when no
    // window or context can be had.
    bool open(const char* title, int width, int height, bool lightStyle);
    void resize(int width, int height);
    void show();
    // Its GL context current again (after another window's was made).
    void makeCurrent();

    // One event, also handed to ImGui; false when none is waiting.
    bool pollEvent(SDL_Event& event);
    void beginFrame();
    void endFrame(float r, float g, float b);

    SDL_Window* getWindow() const { return window; }
    int getWidth() const { return width; }
    int getHeight() const { return height; }

private:
    kvImGuiWindow(const kvImGuiWindow&) = delete;
    kvImGuiWindow& operator=(const kvImGuiWindow&) = delete;
    void close();

    SDL_Window* window;
    SDL_GLContext gl;
    ImGuiContext* context;
    // What was current before, put back on close: the error box can open
    // while the show's own context (and its popup menu's ImGui) exist.
    SDL_Window* previousWindow;
    SDL_GLContext previousGL;
    ImGuiContext* previousContext;
    int width;
    int height;
};

} // namespace Korvell
