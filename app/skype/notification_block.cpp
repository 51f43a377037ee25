#include "notification_block.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <set>

namespace phonedock {
namespace {

std::set<COPYDATASTRUCT*> outstandingBlocks;

}  // namespace

COPYDATASTRUCT* CopyNotificationBlock(const COPYDATASTRUCT& received) {
    const size_t header = sizeof(COPYDATASTRUCT);
    if (received.cbData > SIZE_MAX - header - 1) return nullptr;
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
    outstandingBlocks.insert(block);
    return block;
}

void FreeNotificationBlock(COPYDATASTRUCT* block) {
    outstandingBlocks.erase(block);
    std::free(block);
}

bool IsNotificationBlock(const COPYDATASTRUCT* block) {
    return outstandingBlocks.contains(const_cast<COPYDATASTRUCT*>(block));
}

void FreeUnhandledNotificationBlocks() {
    for (COPYDATASTRUCT* block : outstandingBlocks) std::free(block);
    outstandingBlocks.clear();
}

const char* NotificationText(const COPYDATASTRUCT* block) {
    return static_cast<const char*>(block->lpData);
}

}  // namespace phonedock
