/*
 * OrvexPlatform, continued: what an application asks of the system beside windows, where Linux
 * has no system service that the camera library would use.
 *
 * The registry: the current user's HKEY_CURRENT_USER, where the camera library keeps its
 * settings (below "Software\Helvane\OrvexQX218Sdk"). On Linux it is the file
 * $XDG_CONFIG_HOME/Helvane/OrvexQX218Sdk.reg (or $HOME/.config/...) in the registry editor's
 * text format; these functions read it as the library does.
 *
 * The processor: the features the camera library finds when it starts a camera (what CPUID
 * reports, and which of those an instruction test confirmed on this system), and those that
 * its faster kernel forms use.
 *
 * Every function is thread-safe.
 */
#ifndef ORVEX_PLATFORM_SYSTEM_H
#define ORVEX_PLATFORM_SYSTEM_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* An open registry key; 0 is none. */
typedef uintptr_t OrvexRegistryKey;

/* Opens a key below HKEY_CURRENT_USER for reading (path with backslashes); 0 when it does not
   exist. The key shows the values as they were when it was opened. */
OrvexRegistryKey OrvexPlatform_RegOpenKey(const char* path);
/* 1 with the REG_DWORD value of that name written through value, 0 when it is missing. Names
   compare without regard to case. */
int32_t OrvexPlatform_RegQueryDword(OrvexRegistryKey key, const char* name, int32_t* value);
/* Closing 0 or a closed key is harmless. */
void OrvexPlatform_RegCloseKey(OrvexRegistryKey key);

/* Processor feature bits. */
#define ORVEX_PROCESSOR_MMX 0x01u
#define ORVEX_PROCESSOR_SSE 0x02u
#define ORVEX_PROCESSOR_SSE2 0x04u
#define ORVEX_PROCESSOR_3DNOW 0x08u
#define ORVEX_PROCESSOR_SSE3 0x10u
#define ORVEX_PROCESSOR_LEAF1_ECX8 0x20u /* CPUID leaf 1, ECX bit 8 */

/* The features the processor reports and those confirmed by their test instruction, through
   the non-null pointers; returns the reported ones (0 when CPUID cannot run). */
uint32_t OrvexPlatform_IdentifyProcessor(uint32_t* reported, uint32_t* confirmed);

/* Instruction sets of the faster forms of the pipeline's kernels (Bayer conversion, the
   filters); every form gives the bytes of the plain one, so they change speed alone. */
#define ORVEX_KERNEL_SSE2 0x01u
#define ORVEX_KERNEL_AVX2 0x02u   /* with its registers saved by the operating system */
#define ORVEX_KERNEL_AVX512 0x04u /* AVX-512 F, BW and VBMI */

/* The instruction sets of ORVEX_KERNEL_* that this processor and system offer, which the
   camera library's kernels use. */
uint32_t OrvexPlatform_KernelFeatures(void);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_PLATFORM_SYSTEM_H */
