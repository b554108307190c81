#pragma once
// What calls do to the values one method's data-flow follows: a library method's lines in the
// table of consumers (ConsumerTable) say which argument is used how, what comes back and what
// goes into the receiver; a call of the program's own hands its arguments to the callee's
// parameters for the program-wide step to join; invokedynamic joins a concatenation's parts,
// and a lambda's captured values become the first arguments of the method behind it. Objects
// made in the method that collect strings (builders, lists, arrays) keep what is put in them,
// so that it reaches wherever the object goes.

#include "usage/FlowContext.h"

#include <cstdint>

namespace cl::usage {

// The `consumer` of PutInto for an array element stored by aastore.
constexpr uint32_t kNoConsumer = UINT32_MAX;

// `value` goes into the objects of the set `target`. An object made here collects it; an
// array read from a field puts it into that field; anything else cannot be followed and is a
// use by `consumer` (the call's name, or kNoConsumer: "array element").
void PutInto(FlowContext& c, uint32_t target, uint32_t value, uint32_t consumer);

// invokevirtual, invokespecial, invokeinterface (`hasReceiver`) and invokestatic of the member
// ref `ref`: pops the arguments, records their uses and pushes the result. False when the
// call does not fit the operand stack.
bool Invoke(FlowContext& c, uint16_t ref, bool hasReceiver);

// invokedynamic of the pool entry `index`: string concatenation, lambdas and method
// references, and any other bootstrap as a consumer of its own name.
bool InvokeDynamic(FlowContext& c, uint16_t index);

}  // namespace cl::usage
