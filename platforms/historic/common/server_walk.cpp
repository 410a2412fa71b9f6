#include "platforms/historic/common/server_walk.h"

namespace platforms {

void ServerWalk::begin(std::vector<ServerEntry> servers, std::size_t first) {
    rotation_.servers = std::move(servers);
    rotation_.index = first;
    connect();
}

void ServerWalk::next() {
    if (!rotation_.advance()) {
        client_.restart();
        return;
    }
    client_.status("正在连接服务器:", rotation_.current().address);
    connect();
}

void ServerWalk::connect() {
    client_.close();
    link_.connect(
        rotation_.current(),
        [this](const boost::system::error_code& error) {
            if (error) {
                client_.status("连接服务器失败!", {});
                client_.close();
                next();
                return;
            }
            client_.connected();
        },
        invalid_);
}

}  // namespace platforms
