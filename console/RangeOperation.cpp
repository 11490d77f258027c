#include "RangeOperation.h"

#include "Cmd.h"
#include "FrameServices.h"
#include "Programmer.h"
#include "UiText.h"

#include <cstdint>

namespace {

constexpr int TEXT_BUSY = 74;

int StartOperation(RangeOperation operation, CProgrammer &programmer, uint64_t address, uint64_t length)
{
    switch (operation) {
    case RangeOperation::Read:
        return Frame()->RunIfIdle(address, length, OP_CODE_READ);
    case RangeOperation::Verify:
        return Frame()->RunIfIdle(address, length, OP_CODE_VERIFY);
    case RangeOperation::BlankCheck:
        return Frame()->RunIfIdle(address, length, OP_CODE_BLANK_CHECK);
    case RangeOperation::Program:
        return programmer.startProgram(address, length);
    case RangeOperation::Erase:
        return programmer.startErase(address, length);
    }
    return CMD_BAD;
}

bool ChecksReadyItself(RangeOperation operation)
{
    // The read-type starts go through the window, which refuses by itself
    // (with CMD_FAILED) while not ready or busy.
    return operation == RangeOperation::Program || operation == RangeOperation::Erase;
}

} // namespace

int RunRangeOperation(const CCmd &command, const QStringList &arguments, CProgrammer &programmer,
                      RangeOperation operation)
{
    if (ChecksReadyItself(operation) && !Frame()->IsAdapterReady()) {
        // CMD_DONE on purpose: a script goes on after a refused write.
        LogString(Text(TEXT_BUSY));
        return CMD_DONE;
    }

    // Anything but exactly two words means the whole chip (0/0).
    const bool typed = arguments.size() == 2;
    const uint64_t typedAddress = typed ? ParseHexArgument(arguments[0]) : 0;
    const uint64_t typedLength = typed ? ParseHexArgument(arguments[1]) : 0;

    uint64_t address = typedAddress;
    uint64_t length = typedLength;
    programmer.normalizeRange(address, length);

    if (typed && (address != typedAddress || length != typedLength)) {
        LogString(QStringLiteral("%1 %2 %3")
                      .arg(command.m_name)
                      .arg(qulonglong(address), 0, 16)
                      .arg(qulonglong(length), 0, 16));
    }
    return StartOperation(operation, programmer, address, length);
}
