// The application object with its OpenGL side: the context (with the
// multisample fallback 8, 6, 4, 2, none), the renderer, the buffer swap and
// the popup menu drawn over the frame.
#pragma once

#include "app/kvBaseApp.h"

#include <vector>

struct ImGuiContext;

namespace Korvell {

class kvBaseGL : public kvBaseApp {
public:
    kvBaseGL();
    ~kvBaseGL() override;

    void prepareAhead(int w, int h, bool full) override;
    bool initApi() override;
    bool releaseApi() override;
    void beginFrame() override;
    void endFrame() override;

    // The most samples per pixel to try first (8; fewer for a video render,
    // where the software renderer pays for every sample).
    void setMaxSamples(int samples_) { maxSamples = samples_; }
    // The sample counts tried for the context, in order, and the one used.
    const std::vector<int>& getSampleAttempts() const { return sampleAttempts; }
    int getSamples() const { return samples; }

protected:
    void feedEvent(const SDL_Event& event) override;

private:
    bool tryContext(int sampleCount, bool srgb);
    // The context, with the multisample and sRGB fallbacks.
    bool makeContext();
    void drawPopupMenu();

    SDL_GLContext glContext;
    SDL_GLContext aheadContext = nullptr; // made by prepareAhead, not yet taken
    int aheadSamples = -1;
    ImGuiContext* imgui;
    std::vector<int> sampleAttempts;
    int samples;
    int maxSamples = 8;
};

} // namespace Korvell
