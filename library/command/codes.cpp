#include "command/codes.h"

namespace quorvel::command {

CommandClass ClassifyCommand(std::int32_t code) {
  switch (code) {
    case 1:
    case 2:
    case 3:
    case 33:
    case 35:
    case 48:
    case 65:
    case 82:
    case 83:
    case 98:
    case 99:
    case 114:
    case 115:
    case 117:
    case 129:
    case 130:
    case 516:
    case 518:
    case 519:
    case 2561:
    case 2562:
    case 65537:
    case 65553:
    case 65570:
    case 65571:
    case 65585:
      return CommandClass::kPlain;
    case 34:
    case 36:
    case 66:
    case 68:
    case 81:
    case 97:
    case 113:
    case 522:
    case 65538:
    case 65554:
    case 65569:
    case 65586:
      return CommandClass::kQuery;
    case 520:
    case 521:
      return CommandClass::kBulk;
    case 256:
      return CommandClass::kCompletion;
    default:
      return CommandClass::kRefused;
  }
}

int ReplyValueSize(std::int32_t code) {
  switch (code) {
    case 34:
    case 36:
    case 66:
    case 68:
      return 2;
    case 81:
    case 97:
    case 113:
    case 65538:
    case 65554:
    case 65569:
    case 65586:
      return 4;
    default:
      return 0;
  }
}

}  // namespace quorvel::command
