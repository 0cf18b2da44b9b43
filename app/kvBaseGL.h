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
    void drawPopupMenu();

    SDL_GLContext glContext;
    ImGuiContext* imgui;
    std::vector<int> sampleAttempts;
    int samples;
    int maxSamples = 8;
};

} // namespace Korvell
