// The name a download of one batch saves under, after what earlier jobs of the batch wrote.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fake/TestText.h"
#include "transfer/BatchNames.h"

TEST(BatchNames, Table) {
    const struct {
        std::vector<std::string> written;  // targets jobs 1, 2, ... of batch 1 wrote
        uint32_t serial;                   // the asking job's batch (0: no list loaded)
        std::string folder, name, want;
        int slot = 0;  // the asking job (0: none); what it wrote itself is its own
    } cases[] = {
        {{}, 1, "d/", "data.bin", "data.bin"},
        {{"d/data.bin"}, 1, "d/", "data.bin", "data (2).bin"},
        {{"d/data.bin", "d/data (3).bin"}, 1, "d/", "data.bin", "data (2).bin"},
        {{"d/download", "d/download (2)"}, 1, "d/", "download", "download (3)"},
        {{"d/a.tar.gz"}, 1, "d/", "a.tar.gz", "a (2).tar.gz"},
        {{Sj("d/表.txt")}, 1, "d/", Sj("表.txt"), Sj("表 (2).txt")},  // 表: trail byte 5C
        {{"d/data.bin"}, 1, "d", "data.bin", "data (2).bin"},
        {{"d/data.bin"}, 2, "d/", "data.bin", "data.bin"},
        {{"d/data.bin"}, 0, "d/", "data.bin", "data.bin"},
        {{"d/"}, 1, "d/", "", ""},
        {{"d/data.bin"}, 1, "d/", "data.bin", "data.bin", 1},
        {{"d/data.bin", "d/data (2).bin"}, 1, "d/", "data.bin", "data (2).bin", 2},
        {{"d/data.bin", "d/data (2).bin"}, 1, "d/", "data.bin", "data (3).bin", 3},
    };
    for (const auto& c : cases) {
        BatchTargets targets;
        int slot = 0;
        for (const std::string& t : c.written) targets.Written(1, t, ++slot);
        const std::string got = targets.NameFor(c.serial, c.folder, c.name, c.slot);
        EXPECT_EQ(got, c.want) << "input: " << Readable(c.folder + c.name) << " of batch "
                               << c.serial << " job " << c.slot << "\n  got:   " << Readable(got)
                               << "\n  want:  " << Readable(c.want);
    }
}
