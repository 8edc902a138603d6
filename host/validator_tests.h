// The validator's tests, by group. Each runs on its own test thread with fresh instances; what it
// finds goes into its context (failures, notes, output counts); the runner lists them with their
// levels (validatorTests()), judges and reports.
#pragma once

#include "host/validator_context.h"

namespace kel::host {

// Instances (validator_instance_tests.cpp).
void openCloseCold(TestContext& context);
void openCloseWarm(TestContext& context);
void stateRestore(TestContext& context);
void manyInstances(TestContext& context);

// Texts and programs (validator_text_tests.cpp).
void textBuffers(TestContext& context);
void programs(TestContext& context);

// Parameters (validator_parameter_tests.cpp).
void parameters(TestContext& context);
void hostileParameterValues(TestContext& context);
void automationSubBlocks(TestContext& context);

// Processing (validator_audio_tests.cpp).
void processing(TestContext& context);
void blockSizes(TestContext& context);
void blockPartitions(TestContext& context);
void accumulatingAndReplacing(TestContext& context);
void inPlaceBuffers(TestContext& context);
void silenceAndDecayCost(TestContext& context);

// The editor (validator_editor_tests.cpp).
void editorCycles(TestContext& context);
void closeWithEditorOpen(TestContext& context);
void threadsAutomationEditor(TestContext& context);

// Sample rates (validator_rate_tests.cpp).
void highSampleRate(TestContext& context);
void rateChangeWhileProcessing(TestContext& context);

} // namespace kel::host
