// SPDX-License-Identifier: GPL-3.0-or-later
#include "record/time_order.h"

#include <cstdio>
#include <vector>

namespace record {

void WriteTakeInTimeOrder(const std::string& path, const TakeOrder& order,
                          const base::FileSystem& files) {
    if (order.runs < 2) {
        return;
    }
    const std::string ordered = path + ".ordered";
    try {
        base::RawFile ring;
        ring.OpenReadOnly(path);
        base::RawFile copy(files);
        copy.Create(ordered);
        constexpr uint32_t ChunkBlocks = 100; // ten seconds at a time
        std::vector<uint8_t> buffer(size_t(ChunkBlocks) * base::BlockBytes);
        uint32_t written = 0;
        for (int r = 0; r < order.runs; ++r) {
            const BlockRun& run = order.run[r];
            for (uint32_t done = 0; done < run.count;) {
                const uint32_t count = std::min(ChunkBlocks, run.count - done);
                const size_t bytes = ring.ReadBlocks(run.first + done, buffer.data(), count);
                if (bytes != size_t(count) * base::BlockBytes) {
                    throw base::UserError("Can not read " + path);
                }
                copy.WriteBlocks(written + 1, buffer.data(), count);
                written += count;
                done += count;
            }
        }
        copy.Release();
        if (std::rename(ordered.c_str(), path.c_str()) != 0) {
            throw base::UserError("Can not replace " + path);
        }
    } catch (const base::UserError&) {
        std::remove(ordered.c_str());
        throw;
    }
}

} // namespace record
