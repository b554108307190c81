#pragma once
// The facts one method's data-flow emits, once its frames are solved: every use recorded
// while interpreting (a set of origins reaching a sink) becomes one flow per origin, with the
// pattern kind it went through. An object's collection is expanded into what was put in it, so
// that a string put into a builder reaches wherever the builder goes. A string compared by a
// compiled string switch (javac's hashCode then equals) is a key of "switch", not of equals.
// The flows go into the class's facts (ClassScope::AddFlow) in a stable order.

#include "usage/FlowContext.h"

namespace cl::usage {

void EmitFacts(FlowContext& c);

}  // namespace cl::usage
