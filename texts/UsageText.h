#pragma once
// What the front ends say about where a text goes: the Chinese word of each use, the note a
// catalogue carries, why a text is withheld, and the question before a withheld text is
// translated all the same.

#include "usage/ProgramUsage.h"

#include <string>
#include <vector>

namespace cltext {

// 界面, 消息, 格式, 日志, 键, 名称, 模式, 数据, 未知.
std::string UseName(cl::usage::Use use);

// "用途：键（java/lang/System.getProperty）".
std::string UseLine(cl::usage::Use use, const std::string& consumer);

// Every use of an offered text in one line, the use that decided first, then the others in
// the order `uses` has them (usage::NoteRank: shown ones first), each once with one consumer:
// "用途：界面（javax/swing/JLabel.<init>）；消息（java/lang/IllegalStateException.<init>）". An
// unknown use beside known ones is left out: it says only that the analysis stopped there (a
// println helper's String.length), which a translator cannot act on.
// A use through a translation call names the call instead of its consumer:
// "用途：界面（经 tr 翻译）".
std::string UsesLine(cl::usage::Use use, const std::string& consumer, const std::vector<cl::usage::UseFound>& uses);

// "经 tr 翻译": the text is the message id of the translation call `call` ("org/x/I18n.tr").
std::string TranslatedByText(const std::string& call);

// Why a withheld text is not offered, in one sentence.
const char* WithheldText();
// Heads the classes where an offered text is only data the program keeps or passes on.
const char* KeptText();

// One place that forbids a change: "com.x.Foo.bar：键（java/lang/System.getProperty）".
std::string FindingText(const cl::usage::Finding& finding);

// The question before a withheld text is translated: what may break, and the places.
std::string TranslateWithheldQuestion(cl::usage::Use use, const std::vector<cl::usage::Finding>& forbidding);

}  // namespace cltext
