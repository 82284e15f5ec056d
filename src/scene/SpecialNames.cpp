#include "scene/SpecialNames.h"

#include <iterator>

namespace qx {
namespace {

using A = SpecialAccess;
using K = ValueKind;

constexpr SpecialName kNames[] = {
    // Every element (TQXElement::GetPropValue, after variables, properties and children).
    {"SELF", "TQXElement", A::Read, K::Element, nullptr},
    {"CLASS", "TQXElement", A::Read, K::String, nullptr},
    {"PARENT", "TQXElement", A::Read, K::Element, nullptr},
    {"CHILDCOUNT", "TQXElement", A::Read, K::Integer, nullptr},
    {"PARPOS", "TQXElement", A::Read, K::Integer, nullptr},
    {"CHILD[n]", "TQXElement", A::Read, K::Element, "CHILD[1]"},
    {"CHILDn", "TQXElement", A::Read, K::Element, "CHILD1"},
    {"QXDB", "TQXElement", A::Read, K::Element, nullptr},
    {"CURRENTSCREEN", "TQXElement", A::Read, K::Element, nullptr},
    {"CURSOR", "TQXElement", A::ReadWrite, K::Element, nullptr},
    {"CURSORAT", "TQXElement", A::Read, K::Element, nullptr},
    {"CURSORATNIL", "TQXElement", A::Read, K::Integer, nullptr},
    {"ABSX", "TQXElement", A::Read, K::Integer, nullptr},
    {"ABSY", "TQXElement", A::Read, K::Integer, nullptr},
    {"SZX", "TQXElement", A::Read, K::Integer, nullptr},
    {"SZY", "TQXElement", A::Read, K::Integer, nullptr},
    {"TEXTSZ", "TQXText", A::Read, K::Float, nullptr},
    {"MOUSEIN", "TQXElement", A::Read, K::Boolean, nullptr},
    {"MSDX", "TQXElement", A::Read, K::Integer, nullptr},
    {"MSDY", "TQXElement", A::Read, K::Integer, nullptr},
    {"MSX", "TQXElement", A::Read, K::Integer, nullptr},
    {"MSY", "TQXElement", A::Read, K::Integer, nullptr},
    {"IMFORLOADCOUNT", "TQXElement", A::Read, K::Integer, nullptr},
    {"IMFORLOADPOS", "TQXElement", A::Read, K::Integer, nullptr},
    {"KEYDOWNED", "TQXElement", A::Read, K::Integer, nullptr},
    {"MOUSEDOWN", "TQXElement", A::Read, K::Boolean, nullptr},
    {"MOUSEINDOWN", "TQXElement", A::Read, K::Boolean, nullptr},
    // The root's player settings (TQXDB).
    {"VOLMUZ", "TQXDB", A::ReadWrite, K::Integer, nullptr},
    {"VOLSND", "TQXDB", A::ReadWrite, K::Integer, nullptr},
    {"FULLSCREEN", "TQXDB", A::ReadWrite, K::Integer, nullptr},
    // The current frame of an animation (TQXAnim).
    {"COUNT", "TQXAnim", A::Read, K::Integer, nullptr},
    {"KEYX", "TQXAnim", A::Read, K::Float, nullptr},
    {"KEYY", "TQXAnim", A::Read, K::Float, nullptr},
    {"KEYANG", "TQXAnim", A::Read, K::Float, nullptr},
    {"KEYAN", "TQXAnim", A::Read, K::Integer, nullptr},
    {"KEYX[n]", "TQXAnim", A::Read, K::Float, "KEYX[1]"},
    {"KEYY[n]", "TQXAnim", A::Read, K::Float, "KEYY[1]"},
    // An image list's contents (TQXImList).
    {"ELEMENTS", "TQXImList", A::ReadWrite, K::String, nullptr},
    {"SELEL", "TQXImList", A::Read, K::Element, nullptr},
};

}  // namespace

std::span<const SpecialName> SpecialNames() { return kNames; }

}  // namespace qx
