#pragma once
// What the windows and the command line say about a row's role: its Chinese name, and what
// replacing it would break.

#include "classfile/Roles.h"

#include <string>

namespace cltext {

// 字符串, 键, 共用, 注解, 名称, 描述符, 签名, 属性名, 其他, 非常量.
std::string RoleName(cl::classfile::Role role);

// Why a row of this role is not simply translated: what replacing it breaks. Empty for a
// literal, which is safe to replace.
std::string RoleConsequence(cl::classfile::Role role);

// Why a row that is no constant at all (a false match in code, flags or numbers) is never
// replaced.
const char* NotAConstantText();

}  // namespace cltext
