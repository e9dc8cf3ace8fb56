// The instruction names, one per character the step executes.
#include "interp/instructionnames.h"

namespace tarvex {

const char* instructionname(char16_t c) {
  switch (c) {
  case u'%': return "pointer start";
  case u'x': return "remove";
  case u'#': return "split";
  case u';': return "new line";
  case u'"': return "string mode";
  case u'@': return "halt";
  case u'+': return "add one";
  case u'-': return "take one";
  case u'$': return "jump";
  case u't': return "multiply";
  case u'd': return "divide";
  case u'*': return "add";
  case u'\'': return "subtract";
  case u'M': return "modulo";
  case u'=': return "copy to other";
  case u'0': return "zero";
  case u'~': return "swap registers";
  case u'&': return "and";
  case u'|': return "or";
  case u'X': return "exclusive or";
  case u'`': return "toggle remove after";
  case u'n': return "exchange up";
  case u'u': return "exchange down";
  case u'(': return "exchange left";
  case u')': return "exchange right";
  case u'.': return "write number";
  case u',': return "write character";
  case u':': return "read number";
  case u'>': return "go right";
  case u'<': return "go left";
  case u'^': return "go up";
  case u'v': return "go down";
  case u'?': return "remove if zero";
  case u'!': return "remove unless zero";
  case u'}': return "remove if going right";
  case u'{': return "remove if going left";
  case u'8': return "hold";
  case u'J': return "shift unless zero";
  case u'j': return "shift if zero";
  case u'/': return "flipping mirror";
  case u'\\': return "flipping mirror";
  case u'O': return "mirror";
  case u'o': return "mirror";
  case u'N': return "reverse if horizontal";
  case u'Z': return "reverse if vertical";
  case u'I': return "reverse";
  case u'U': return "up unless zero";
  case u'D': return "down unless zero";
  case u'L': return "left unless zero";
  case u'R': return "right unless zero";
  default: return "nothing";
  }
}

} // namespace tarvex
