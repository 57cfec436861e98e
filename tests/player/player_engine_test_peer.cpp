#include "player_engine_test_peer.h"

#include "mpeg_source.h"

namespace zirvak {

ClipPlan PlayerEngineTestPeer::clip() const {
    const auto* mpeg = dynamic_cast<const MpegSource*>(engine_.current_.source.get());
    return mpeg ? mpeg->clip() : ClipPlan{};
}

}  // namespace zirvak
