#include "transfer_block.h"

void openTransferBlock(TransferBlock& block) {
    block.owned.reset(static_cast<unsigned char*>(allocateBlock(TRANSFER_BYTES)));
    block.bytes = block.owned ? block.owned.get() : block.spare;
    block.capacity = block.owned ? TRANSFER_BYTES : SPARE_TRANSFER_BYTES;
}
