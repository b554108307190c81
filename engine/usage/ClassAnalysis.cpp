#include "usage/ClassAnalysis.h"

#include "classfile/ConcatRecipes.h"

#include "usage/ClassScope.h"
#include "usage/MethodFlow.h"
#include "usage/OutputStreams.h"

#include <algorithm>
#include <vector>

namespace cl::usage {

using classfile::ClassFile;
using classfile::Tag;

namespace {

// A method whose code could not be followed still loads its strings: where they go is
// unknown.
void NotFollowed(ClassScope& scope, const classfile::CodeInfo& code)
{
    const ClassFile& cf = scope.File();
    const uint32_t sink = scope.AddSink(
        {SinkKind::Unknown, Use::Unknown, FormatStyle::None, false, 0, scope.Consumer("code not followed")});
    for (const classfile::LoadedString& loaded : code.strings)
        scope.AddFlow({OriginKind::Literal, FormatStyle::None, code.method, loaded.stringIndex, sink});
    for (const classfile::InvokeDynamicSite& site : code.invokeDynamics) {
        const classfile::Constant* indy = cf.At(site.invokeDynamicIndex, Tag::InvokeDynamic);
        if (indy == nullptr || indy->BootstrapIndex() >= cf.bootstrapMethods.size())
            continue;
        for (const uint16_t argument : cf.Arguments(cf.bootstrapMethods[indy->BootstrapIndex()])) {
            if (cf.At(argument, Tag::String) != nullptr)
                scope.AddFlow({OriginKind::Literal, FormatStyle::None, code.method, argument, sink});
        }
    }
}

}  // namespace

ClassFacts AnalyseClass(const ClassFile& cf)
{
    ClassFacts facts;
    if (!cf.parsed)
        return facts;
    facts.parsed = true;
    facts.access = cf.accessFlags;
    facts.showsWindows = NamesWindowClasses(cf);
    // Names and texts are given to the facts by the scope when the class is done.
    facts.methods.resize(cf.methods.size());
    for (size_t m = 0; m < cf.methods.size(); ++m)
        facts.methods[m].access = cf.methods[m].accessFlags;
    facts.fields.resize(cf.fields.size());
    for (size_t f = 0; f < cf.fields.size(); ++f)
        facts.fields[f].access = cf.fields[f].accessFlags;
    const std::vector<uint16_t> recipes = classfile::ConcatRecipes(cf);
    // One look at the pool, into storage kept on the thread; the facts' list made once.
    thread_local std::vector<LiteralFacts> literals;
    literals.clear();
    for (size_t i = 1; i < cf.pool.size(); ++i) {
        if (cf.pool[i].tag == Tag::String)
            literals.push_back({static_cast<uint16_t>(i), {},
                                std::binary_search(recipes.begin(), recipes.end(), static_cast<uint16_t>(i))});
    }
    facts.literals.assign(literals.begin(), literals.end());

    ClassScope scope(cf, facts);
    // A constant field's value is stored into it when the class is made.
    for (size_t f = 0; f < cf.fields.size(); ++f) {
        const uint16_t value = cf.fields[f].constantValue;
        if (value != 0 && cf.At(value, Tag::String) != nullptr) {
            const uint32_t sink =
                scope.AddSink({SinkKind::FieldStore, Use::Unknown, FormatStyle::None, false, 0,
                               scope.OwnField(static_cast<uint16_t>(f))});
            scope.AddFlow({OriginKind::Literal, FormatStyle::None, kNoMethod, value, sink});
        }
    }

    thread_local const auto scratch = MakeFlowScratch();
    for (const classfile::CodeInfo& code : cf.codes) {
        if (code.method >= facts.methods.size())
            continue;
        MethodFacts& method = facts.methods[code.method];
        method.hasCode = true;
        method.followed = FollowMethod(scope, code, code.method, *scratch);
        if (!method.followed)
            NotFollowed(scope, code);
    }
    scope.Finish();
    return facts;
}

}  // namespace cl::usage
