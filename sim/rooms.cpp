#include "sim/room.h"

#if SONARO_HAS_DOUYU
#include "sim/douyu/douyu_room.h"
#endif
#if SONARO_HAS_PANDA
#include "sim/panda/panda_room.h"
#endif
#if SONARO_HAS_ZHANQI
#include "sim/zhanqi/zhanqi_room.h"
#endif
#if SONARO_HAS_LONGZHU
#include "sim/longzhu/longzhu_room.h"
#endif
#if SONARO_HAS_BILIBILI
#include "sim/bilibili/bilibili_room.h"
#endif
#if SONARO_HAS_DOUYUWS
#include "sim/douyuws/douyuws_room.h"
#endif

namespace sim {

std::unique_ptr<SimulatedRoom> makeRoom(int platformIndex, const RoomScript& script) {
    switch (platformIndex) {
#if SONARO_HAS_DOUYU
        case 0: return makeDouyuRoom(script);
#endif
#if SONARO_HAS_PANDA
        case 1: return makePandaRoom(script);
#endif
#if SONARO_HAS_ZHANQI
        case 2: return makeZhanqiRoom(script);
#endif
#if SONARO_HAS_LONGZHU
        case 3: return makeLongzhuRoom(script);
#endif
#if SONARO_HAS_BILIBILI
        case 4: return makeBilibiliRoom(script);
#endif
#if SONARO_HAS_DOUYUWS
        case 5: return makeDouyuWsRoom(script);
#endif
        default: return nullptr;
    }
}

}  // namespace sim
