// The parameter-block decoder fed any block the board might send.
#include "Developer_Mode.h"
#include "FuzzSupport.h"
#include "ui_developer_mode.h"

#include <QTextDocument>

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    static Developer_Mode* const window = new Developer_Mode;
    // The read-back hands over whole blocks only; on the heap at its exact size,
    // so a read past its end is caught.
    std::vector<UCHAR> block(256);
    std::copy_n(data, std::min(size, block.size()), block.begin());
    window->ui->textEdit->clear();
    window->analyParam(block.data());
    const int lines = block[0] == 1 ? 39 : block[0] == 2 ? 29 : 21;
    fuzzCheck(window->ui->textEdit->document()->blockCount() == lines,
              "one Param List line per decoded value");
    return 0;
}
