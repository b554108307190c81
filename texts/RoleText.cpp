#include "RoleText.h"

namespace cltext {

using cl::classfile::Role;

std::string RoleName(Role role)
{
    switch (role) {
        case Role::Literal: return "字符串";
        case Role::Key: return "键";
        case Role::Shared: return "共用";
        case Role::Annotation: return "注解";
        case Role::Name: return "名称";
        case Role::Descriptor: return "描述符";
        case Role::Signature: return "签名";
        case Role::Attribute: return "属性名";
        case Role::Other: return "其他";
        case Role::None: return "非常量";
    }
    return {};
}

std::string RoleConsequence(Role role)
{
    switch (role) {
        case Role::Literal: return {};
        case Role::Key:
            return "程序用它做比较（字符串 switch、模式匹配的标签或记录的组件名），比较用的值在编译时已经固定，"
                   "替换后相应的分支会悄悄地不再匹配。";
        case Role::Shared:
            return "它同时是名称、描述符或其他结构的一部分，原地替换会把它们一起改掉（例如方法改名），"
                   "程序会因 NoSuchMethodError 之类的错误而失败。";
        case Role::Annotation: return "它是注解的值，程序常把注解值当作键来查找，替换后可能找不到。";
        case Role::Name: return "它是类、字段、方法或参数等的名称，改名会使链接失败。";
        case Role::Descriptor: return "它是类型描述符，替换会使类无法加载或链接。";
        case Role::Signature: return "它是泛型签名，替换会破坏反射和以此类编译的代码。";
        case Role::Attribute: return "它是属性的名称，替换会使 JVM 忽略或拒绝该属性。";
        case Role::Other: return "它不是程序显示的文本（例如源文件名或模块版本），替换可能破坏类。";
        case Role::None: return "它不是常量池中的字符串，而是代码、标志或数字中的字节，替换会损坏类文件。";
    }
    return {};
}

const char* NotAConstantText()
{
    return "不是常量池中的字符串，而是代码、标志或数字中恰好相似的字节，替换它会损坏类文件。";
}

}  // namespace cltext
