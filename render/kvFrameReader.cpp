// Pixel buffer objects (GL 2.1).
#define GL_GLEXT_PROTOTYPES 1
#include "render/kvFrameReader.h"

#include <GL/gl.h>
#include <GL/glext.h>

#include <cstddef>

namespace Korvell {

kvFrameReader::kvFrameReader(int w, int h) : width(w), height(h), buffers{0, 0}, next(0), pending(-1), mapped(-1)
{
    glGenBuffers(2, buffers);
    for (unsigned b : buffers) {
        glBindBuffer(GL_PIXEL_PACK_BUFFER, b);
        glBufferData(GL_PIXEL_PACK_BUFFER, static_cast<GLsizeiptr>(width) * height * 4, nullptr, GL_STREAM_READ);
    }
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
}

kvFrameReader::~kvFrameReader()
{
    unmap();
    glDeleteBuffers(2, buffers);
}

void kvFrameReader::unmap()
{
    if (mapped < 0) return;
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[mapped]);
    glUnmapBuffer(GL_PIXEL_PACK_BUFFER);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    mapped = -1;
}

const uint8_t* kvFrameReader::map(int which, int* stride)
{
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[which]);
    const uint8_t* p = static_cast<const uint8_t*>(glMapBuffer(GL_PIXEL_PACK_BUFFER, GL_READ_ONLY));
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    if (!p) return nullptr;
    mapped = which;
    // The GL's first row is the bottom one.
    *stride = -width * 4;
    return p + static_cast<size_t>(height - 1) * width * 4;
}

const uint8_t* kvFrameReader::mapPending(int* stride)
{
    if (pending < 0) return nullptr;
    const int which = pending;
    pending = -1;
    return map(which, stride);
}

const uint8_t* kvFrameReader::previous(int* stride)
{
    // The frame just drawn goes to the GL's own threads now, not when its
    // read is queued after the hand-over.
    glFlush();
    return mapPending(stride);
}

void kvFrameReader::queue()
{
    unmap(); // the buffer handed out goes back to the GL
    glBindBuffer(GL_PIXEL_PACK_BUFFER, buffers[next]);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindBuffer(GL_PIXEL_PACK_BUFFER, 0);
    pending = next;
    next = 1 - next;
}

const uint8_t* kvFrameReader::last(int* stride)
{
    unmap();
    return mapPending(stride);
}

} // namespace Korvell
