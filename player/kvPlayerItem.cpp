// Slide record.
#include "player/kvPlayerItem.h"

#include "player/kvTextureMatrix.h"

namespace Korvell {

kvPlayerItem::kvPlayerItem(float endTime_, const std::string& fileName_, kvTextureIndex texture_,
                           int transitionType_, float transitionTime_)
    : endTime(endTime_), duration(0.0f), fileName(fileName_), texture(texture_),
      transitionType(transitionType_), transitionTime(transitionTime_), move(0.0f, 0.0f),
      zoom(1.0f), offset(0.0f, 0.0f), startZoom(1.0f)
{
    // A slide whose matrix is never computed (no positive duration) shows
    // its picture unmoved rather than one stretched corner pixel.
    for (int i = 0; i < 16; ++i) textureMatrix[i] = blurMatrix[i] = (i % 5 == 0) ? 1.0f : 0.0f;
}

void kvPlayerItem::computeMatrix(float p)
{
    computeTextureMatrix(zoomOn(), zoomAt(p), offset.x, offset.y, p * move.x, p * move.y, textureMatrix);
}

} // namespace Korvell
