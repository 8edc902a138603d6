// What both test plug-ins put into the effect record they hand our host: their functions, a
// stereo pair each way and the replacing call offered. Each adds what is its own (programs, the
// editor flag, its ID).
#pragma once

#include "shell/vst_interface.h"

struct TestPluginFunctions {
    DispatcherFunction dispatcher;
    ProcessFunction process;
    ProcessFunction processReplacing;
    SetParameterFunction setParameter;
    GetParameterFunction getParameter;
};

inline void fillTestPluginRecord(AEffect& record, const TestPluginFunctions& functions,
                                 VstInt32 parameters) {
    record.magic = kEffectMagic;
    record.dispatcher = functions.dispatcher;
    record.process = functions.process;
    record.processReplacing = functions.processReplacing;
    record.setParameter = functions.setParameter;
    record.getParameter = functions.getParameter;
    record.numParams = parameters;
    record.numInputs = 2;
    record.numOutputs = 2;
    record.flags = effFlagsCanReplacing;
}
