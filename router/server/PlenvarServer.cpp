#include "PlenvarServer.h"

#include "PlenvarServerLogFile.h"

namespace router {

PlenvarServer::PlenvarServer(Upstream* upstream, const ServerOptions& options) : mNode(upstream, options) {
    // POSIX sockets need no start-up; a platform that does reports its
    // result here.
    const int startupResult = 0;
    if (startupResult != 0) {
        ServerLog().WriteMessage(PlenvarServerLogFile::ERROR, StartupErrorText(startupResult));
    }
}

bool PlenvarServer::SendData(const void* data, int32_t byteCount, const std::string& objectName,
                             const std::string& typeName) {
    std::lock_guard<std::mutex> lock(mSendLock);
    return mNode.DispatchData(data, byteCount, objectName, typeName);
}

}  // namespace router
