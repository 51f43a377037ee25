#include "notification_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace phonedock {

COPYDATASTRUCT* CopyNotificationBlock(const COPYDATASTRUCT& received) {
    const size_t header = sizeof(COPYDATASTRUCT);
    if (static_cast<size_t>(received.cbData) > SIZE_MAX - header - 1) return nullptr;  // 32-bit hosts
    auto* bytes = static_cast<unsigned char*>(std::malloc(header + received.cbData + 1));
    if (bytes == nullptr) return nullptr;
    auto* block = reinterpret_cast<COPYDATASTRUCT*>(bytes);
    unsigned char* data = bytes + header;
    block->dwData = received.dwData;
    block->cbData = received.cbData;
    block->lpData = data;
    if (received.lpData != nullptr) {
        std::memcpy(data, received.lpData, received.cbData);
    } else {
        std::memset(data, 0, received.cbData);
    }
    data[received.cbData] = '\0';
    return block;
}

void FreeNotificationBlock(COPYDATASTRUCT* block) {
    std::free(block);
}

const char* NotificationText(const COPYDATASTRUCT* block) {
    return static_cast<const char*>(block->lpData);
}

}  // namespace phonedock
