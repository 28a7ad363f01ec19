// Lets tests run blendBlit's narrow vector code on a processor that would pick the wide one.
#pragma once

void allowWideBlendVectors(bool allowed);  // true (the default): AVX2 where the processor has it
