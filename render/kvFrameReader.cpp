// A pixel buffer object (GL 2.1).
#define GL_GLEXT_PROTOTYPES 1
#include "render/kvFrameReader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

namespace Korvell {

kvFrameReader::kvFrameReader(int w, int h) : width(w), height(h)
{
    glGenBuffers(1, &buffer);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(width) * height * 4, nullptr, GL_STREAM_READ);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

kvFrameReader::~kvFrameReader()
{
    unmap();
    glDeleteBuffers(1, &buffer);
}

void kvFrameReader::unmap()
{
    if (!mapped) return;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    mapped = false;
}

const uint8_t* kvFrameReader::mapQueued(int* stride)
{
    if (!queued) return nullptr;
    queued = false;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    const uint8_t* p = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (!p) return nullptr;
    mapped = true;
    // The GL's first row is the bottom one.
    *stride = -width * 4;
    return p + static_cast<size_t>(height - 1) * width * 4;
}

const uint8_t* kvFrameReader::previous(int* stride)
{
    // The frame just drawn goes to the GL's own threads now, not when its
    // read is queued after the hand-over.
    glFlush();
    return mapQueued(stride);
}

void kvFrameReader::queue()
{
    unmap(); // the frame handed out is done with: the buffer takes the next
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    queued = true;
}

const uint8_t* kvFrameReader::last(int* stride)
{
    unmap();
    return mapQueued(stride);
}

} // namespace Korvell
