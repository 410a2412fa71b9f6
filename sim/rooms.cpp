#include "sim/room.h"

#include "sim/bilibili/bilibili_room.h"
#include "sim/douyuws/douyuws_room.h"
#include "sim/historic/douyu/douyu_room.h"
#include "sim/historic/longzhu/longzhu_room.h"
#include "sim/historic/panda/panda_room.h"
#include "sim/historic/zhanqi/zhanqi_room.h"
#include "sim/huya/huya_room.h"

namespace sim {

std::unique_ptr<SimulatedRoom> makeRoom(int platformIndex, const RoomScript& script) {
    switch (platformIndex) {
        case 0:
            return makeDouyuRoom(script);
        case 1:
            return makePandaRoom(script);
        case 2:
            return makeZhanqiRoom(script);
        case 3:
            return makeLongzhuRoom(script);
        case 4:
            return makeBilibiliRoom(script);
        case 5:
            return makeDouyuWsRoom(script);
        case 6:
            return makeHuyaRoom(script);
        default:
            return nullptr;
    }
}

}  // namespace sim
