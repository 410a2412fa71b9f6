#include "platforms/registry.h"

#if SONARO_HAS_DOUYU
#include "platforms/douyu/CDouyuTv.h"
#endif
#if SONARO_HAS_PANDA
#include "platforms/panda/CPandaTv.h"
#endif
#if SONARO_HAS_ZHANQI
#include "platforms/zhanqi/CZqOpt.h"
#endif
#if SONARO_HAS_LONGZHU
#include "platforms/longzhu/CLZopt.h"
#endif

namespace platforms {

namespace {

template <typename Client>
FeederFactory factoryOf() {
    return [](boost::asio::io_context& eventLoop, MessageWindow& window) -> std::unique_ptr<msgfeeder> {
        return std::make_unique<Client>(eventLoop, window);
    };
}

FeederFactories makeFactories() {
    FeederFactories f;
#if SONARO_HAS_DOUYU
    f[0] = factoryOf<CDouyuTv>();
#endif
#if SONARO_HAS_PANDA
    f[1] = factoryOf<CPandaTv>();
#endif
#if SONARO_HAS_ZHANQI
    f[2] = factoryOf<CZqOpt>();
#endif
#if SONARO_HAS_LONGZHU
    f[3] = factoryOf<CLZopt>();
#endif
    return f;
}

}  // namespace

const FeederFactories& feederFactories() {
    static const FeederFactories factories = makeFactories();
    return factories;
}

}  // namespace platforms
