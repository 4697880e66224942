/**
 * @file orvex/virtual_camera.h
 * @brief The virtual camera (OrvexVirtualCamera, Linux): a stand-in for the camera's USB driver and
 * up to eight cameras behind it.
 *
 * The virtual camera: a stand-in for the camera's USB driver and for up to eight cameras behind
 * it, so that the camera library and its tests run on a machine without the hardware.
 *
 * Driver interface. The three driver functions take the places of CreateFileA, DeviceIoControl
 * and CloseHandle. A camera at index N (0..7) is reached through the path "\\.\OrvexNec06A-N".
 * Every request carries a 4-byte input, the pipe number (least significant byte first), and
 * moves data in the direction of its pipe whichever of the two control codes is used:
 *   pipe 0  64-byte command packets to the camera (the output buffer holds the packet);
 *   pipe 1  64-byte reply packets from the camera into the output buffer;
 *   pipe 2  frame data from the camera into the output buffer (one frame a request).
 * Requests on each pipe of a camera are carried out one at a time, in the order they arrive, on
 * whichever handles they come; a frame read that waits for its frame does not hold up pipes 0
 * and 1.
 *
 * The camera. Command packets are 64 bytes, byte 0 the opcode:
 *   0x02 stream request (counted, otherwise no effect: frames are read the same with or without)
 *   0x09 frame size, bytes 1-4 the samples a frame (little-endian; recorded only)
 *   0x0A sample width, byte 1 non-zero: two bytes a sample (10-bit values, least significant
 *        byte first), zero: one byte a sample (8-bit values)
 *   0x20 serial ROM write, byte 1 address, byte 2 value
 *   0x21 serial ROM read, byte 1 address
 *   0x25 FPGA register write, byte 1 address, bytes 2-3 the 16-bit value (little-endian)
 *   0x26 FPGA register read, byte 1 address
 * Other opcodes are accepted and ignored. A read command queues two reply packets on pipe 1:
 * the first an acknowledgement (byte 0 the opcode, byte 1 the address), the second the value
 * (bytes 0 and 1 of a register, byte 0 of a ROM byte). At most 64 replies wait; older ones are
 * discarded beyond that.
 *
 * Power-on state of a newly attached camera: sample width one byte; frame size 0; every FPGA
 * register 0 except 0x00 = 0x06A0 (FPGA identification), 0x01 = 0x0102 (FPGA version) and
 * 0x52 = 40 (exposure); serial ROM bytes 0-7 "QX218\0\x01\x00" (product code, layout version),
 * bytes 8-15 the identification "VCAM-00N" (N the index digit), every other byte 0xFF.
 *
 * Frames. The sensor sends lines of 1320 samples and 1024 active lines, line after line from
 * line 0; a read of n samples (bytes, or bytes / 2 after the two-byte width command) gets the
 * first n samples of a frame, zeros past line 1023. Samples 39 to 1318 of a line are the image,
 * the others dark blanking (0). The colour filter reads G R on even lines and B G on odd lines,
 * counted from sample 39. Brightness is scene x 40 / max(register 0x52, 1), limited to 255 or
 * 1023: at the power-on exposure the scene comes out as designed.
 *
 * Pacing. By default frames come at a steady rhythm of max(33.3 ms, bytes / 40 MB/s) (about 30
 * frames a second for 8-bit full frames, 15 for 16-bit); a read waits for the next frame due.
 * Every read waiting when a frame falls due receives that frame, so readers on several handles
 * of one camera each get every frame and none waits longer than one frame for another.
 *
 * At load the library attaches one camera at index 0, or as many as the environment variable
 * ORVEX_VIRTUAL_CAMERAS says (a decimal count 0 to 8; any other value keeps the default).
 *
 * Every function is thread-safe. Functions that take an index fail when no camera is attached
 * there: the getters and counters with -1, the others with 0.
 */
#ifndef ORVEX_VIRTUAL_CAMERA_H
#define ORVEX_VIRTUAL_CAMERA_H

#include <stdint.h>

#if defined(__GNUC__) || defined(__clang__)
#define ORVEX_VCAM_API __attribute__((visibility("default")))
#else
#define ORVEX_VCAM_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Driver interface ---- */

/** Opens the camera named by path; a new positive handle, or -1 when no camera answers there. */
ORVEX_VCAM_API intptr_t OrvexVirtualCamera_CreateFile(const char* path);

/** One request: code 0x222051 or 0x22204E, input the 4-byte pipe number. 1 when done (the bytes
 * moved are written to bytesReturned), 0 on failure (0 written). A frame read may report fewer
 * bytes than asked when a short frame was injected. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_DeviceIoControl(intptr_t handle, uint32_t code,
                                                          const void* input, uint32_t inputLength,
                                                          void* output, uint32_t outputLength,
                                                          uint32_t* bytesReturned);

/** 1 when the handle was open and is now closed; 0 for -1 or an unknown handle. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_CloseHandle(intptr_t handle);

/* ---- Control ---- */

/** Plugs a camera in at index 0..7 in its power-on state; 0 for a bad index or one in use. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_Attach(int32_t index);

/** Unplugs the camera: opens fail, and every request on its open handles fails from now on,
 * including frame reads that are waiting. A later Attach gives a new camera. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_Detach(int32_t index);

/** 1 when a camera is attached at the index, else 0. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_IsAttached(int32_t index);

/** Detaches every camera and attaches the start-up set again (reading ORVEX_VIRTUAL_CAMERAS anew);
 * returns the number attached. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_Reset(void);

/** FPGA register 0..255 as the camera holds it; -1 for a bad address. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_GetRegister(int32_t index, int32_t address);

/** Sets an FPGA register (0..255) to a 16-bit value directly, as if written by a command. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetRegister(int32_t index, int32_t address,
                                                      int32_t value);

/** Serial ROM byte 0..255; -1 for a bad address. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_GetRomByte(int32_t index, int32_t address);

/** Sets a serial ROM byte (address 0..255, value 0..255) directly. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetRomByte(int32_t index, int32_t address, int32_t value);

/** Bytes a sample the camera sends now: 1 or 2. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_GetSampleWidth(int32_t index);

/** The samples a frame of the last frame-size command (0 before any; limited to INT32_MAX). */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_GetTransferSamples(int32_t index);

/** Command packets received on pipe 0 since attach with this opcode (0..255), or of any opcode
 * for -1; -1 for a bad opcode. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_PacketCount(int32_t index, int32_t opcode);

/** Copies the last command packet with this opcode (or the last of all for -1) into the 64 bytes
 * at packet; 0 when none was received or packet is null. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_LastPacket(int32_t index, int32_t opcode, void* packet);

/** Handles open on the attached camera. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_OpenHandles(int32_t index);

/** Frame reads waiting for their frame right now. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_WaitingReads(int32_t index);

/** The driver refuses the next count requests on pipe 0..2 (0 clears); they fail and move
 * nothing. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_FailRequests(int32_t index, int32_t pipe, int32_t count);

/** The next count frame reads succeed with half the bytes asked (count >= 0; 0 clears). */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_ShortFrames(int32_t index, int32_t count);

/** The camera sends exactly this raster from now on: lines x pitch samples in sending order from
 * line 0, 1 byte a sample (8-bit values) or 2 (10-bit values, least significant byte first);
 * copied. Samples past its end are 0. In one-byte mode a 2-byte raster is sent as value >> 2
 * (limited to 255), in two-byte mode a 1-byte raster as value << 2. The exposure has no effect.
 * Null samples return to the scene. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetRaster(int32_t index, const void* samples,
                                                    int32_t pitch, int32_t lines,
                                                    int32_t bytesPerSample);

/* Built-in scenes. */
#define ORVEX_VIRTUAL_SCENE_CHART 0  /**< colour bars, colour patches, gray ramp and gray steps */
#define ORVEX_VIRTUAL_SCENE_MOVING 1 /**< colour waves and discs moving every frame */
#define ORVEX_VIRTUAL_SCENE_GRAY 2   /**< flat mid gray, 128 of 255 at the power-on exposure */

/** Shows a built-in scene, ending any raster; 0 for an unknown scene. The chart is the default. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetScene(int32_t index, int32_t scene);

/** Shows a flat colour, ending any raster; red, green, blue 0..255 come out as these 8-bit values
 * (x 1023 / 255 in 10-bit values, rounded) at the power-on exposure and level. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetSceneColor(int32_t index, int32_t red, int32_t green,
                                                        int32_t blue);

/** Lighting of the scene in percent of its design (0..1000; power-on 100). */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetSceneLevel(int32_t index, int32_t percent);

/** Shows a PNG file (gray, RGB, with or without alpha, palette; 1 to 16 bits), ending any raster:
 * scaled to cover 1280 x 1024 (nearest pixel), centred and cropped, then mosaicked. 0 when it
 * cannot be read; the scene is then unchanged. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_LoadImage(int32_t index, const char* path);

/** Frame period in microseconds: 0 = a frame whenever the host reads, negative = the default
 * sensor and link model. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetFramePeriod(int32_t index, int32_t microseconds);

/** Drops this share of frames (0..100), evenly and repeatably; a read waits for the next frame
 * that is not dropped. At 100 no frame comes until the rate is lowered or the camera detached. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_SetDropRate(int32_t index, int32_t percent);

/** Whole frames delivered on pipe 2 since attach (a frame delivered to several reads counts once
 * for each). */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_FramesSent(int32_t index);

/** Frames dropped since attach. */
ORVEX_VCAM_API int32_t OrvexVirtualCamera_FramesDropped(int32_t index);

#ifdef __cplusplus
}
#endif

#endif /* ORVEX_VIRTUAL_CAMERA_H */
