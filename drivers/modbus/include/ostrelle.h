/*
 * Ostrelle: the Modbus RTU master library (Driver/Ostrelle.so).
 *
 * The program loads the library at run time and binds these functions by
 * name. The library keeps one port for the whole process, so the functions
 * take no handle, and they must not be called from two threads at once.
 * Nothing but plain C types crosses this interface and no exception leaves it.
 *
 * Ports: port number n opens <program folder>/ports/COM<n> when that name
 * exists, else the default device table of the platform (COM1 is /dev/ttyS0,
 * COM33 /dev/ttyUSB0, COM65 /dev/ttyACM0). The program folder is the folder
 * above the Driver/ folder that holds this library, as it was loaded (links
 * are not resolved).
 *
 * Line: raw mode without handshake; the flow-control index is ignored. When
 * the kernel's RS-485 mode is enabled on the port the kernel switches the
 * transmitter; otherwise RTS is raised for each request and lowered once its
 * last character (plus half a character) has left the line.
 *
 * Time limits are fixed: 600 ms for the first byte of a reply, 2000 ms for
 * the rest, then a 50 ms pause after every attempt and 450 ms more after a
 * failed one. Every transaction therefore lasts at least 50 ms.
 *
 * A reply belongs to its request. Whatever arrived before the request is
 * sent is discarded. A reply is accepted only when it comes from the slave
 * asked, carries the function asked (or its exception), passes its CRC and
 * fits the request: a read reply's byte count is the one the quantity asks
 * for (2 per register; 1 per 8 coils or inputs, rounded up); a function 6
 * echo repeats the register and the value written, a function 16 echo the
 * start register and the quantity. After a reply the 50 ms pause is spent
 * listening: a second reply that fits as well but differs (a late reply to
 * an earlier request and the reply to this one, back to back) fails the
 * attempt. A reply that does not fit is never data: the attempt goes on
 * waiting, and ends with 21 when nothing else came.
 *
 * A slave answers in turn, so a reply that came too late for its attempt
 * arrives ahead of a later request's reply, or alone when that one is lost,
 * and a read reply names no register. The library therefore counts the
 * attempts that ended without their reply (for 10 s after each) and the
 * late replies that arrive, also those discarded before a request: when
 * every reply an attempt heard may be one still owed to another request
 * that it fits as well (same slave, function and size), the attempt fails
 * with 21 and the next one is answered in the ordinary way.
 */
#ifndef OSTRELLE_H
#define OSTRELLE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Statuses of Mb_Read and Mb_Write. 1 to 255 apart from those below are the
 * exception code of an exception reply (1 to 8 in practice). Only the low
 * 8 bits are defined. */
#define OSTRELLE_OK 0
#define OSTRELLE_CRC_ERROR 20            /* a reply failed its CRC check */
#define OSTRELLE_FRAME_FORMAT 21         /* replies that do not fit the request: another
                                            byte count, another value echoed by function 6,
                                            two that differ, or one that may be owed to
                                            another request */
#define OSTRELLE_CANNOT_BUILD 24         /* write request impossible (function, count) */
#define OSTRELLE_NO_RESPONSE 25          /* no complete reply in time; also a closed or vanished port */
#define OSTRELLE_ODD_BYTE_COUNT 129      /* Mb_Write given an odd byte count */
#define OSTRELLE_QUANTITY_MISMATCH 130   /* function 16 echo of another register quantity */
#define OSTRELLE_ADDRESS_MISMATCH 131    /* function 6 or 16 echo of another start register */
#define OSTRELLE_BAD_FUNCTION 132        /* reply with an unexpected function code, or an
                                            exception reply whose code is 0 */

/* Opens the port with the given settings; 1 on success, 0 on failure.
 * Opening the same port with the same settings again keeps it as it is.
 * parity: 0 even, 1 mark, 2 none, 3 odd, 4 space.
 * dataBits: 5 to 8. stopBits: 0 one, 1 one and a half (sent as two), 2 two.
 * flowControl and reserved are accepted and ignored. */
int32_t OpenComPort(int32_t port, int32_t baudRate, uint8_t parity, uint8_t dataBits, uint8_t stopBits,
                    uint8_t flowControl, int32_t reserved);

/* Closes the port and ends its reader thread; harmless when nothing is open.
 * The result carries no meaning. */
int32_t CloseComPort(void);

/* Reads byteCount / 2 registers (or bits) from start with the function code
 * (1 coils, 2 discrete inputs, 3 holding registers, 4 input registers).
 * On success with functions 1 to 4 the reply's byte count goes to
 * *dataLength and that many bytes, at most 255, to data: the caller's buffer
 * must hold 255 bytes, or as many as the request can return. */
uint8_t Mb_Read(uint8_t slave, uint8_t function, uint16_t start, uint16_t byteCount, uint8_t* data,
                uint8_t* dataLength);

/* Writes one register (function 6, byteCount 2) or byteCount / 2 registers
 * (function 16) from data, big-endian as on the bus. */
uint8_t Mb_Write(uint8_t slave, uint8_t function, uint16_t start, const uint8_t* data, uint8_t byteCount);

/* One entry that returns 0 at once and does nothing, exported under four
 * names for callers that bind them; the time limits above stay fixed.
 * Any arguments may be passed (the caller removes them). */
int32_t SetRespondOutTime(int32_t ignored);
int32_t GetCommCounts(int32_t ignored);
int32_t ClearCommCounts(int32_t ignored);
int32_t SetComState(int32_t ignored);

/* The frame monitor (an addition of this library; the program binds it by
 * name and works without it). SetFrameMonitor registers a callback that
 * receives every frame: each request as it goes out, and what came back
 * for it, one call per part:
 *   OSTRELLE_OUTCOME_REPLY      the reply taken (an exception reply too);
 *   OSTRELLE_OUTCOME_CRC_ERROR  bytes of an attempt that ended after a
 *                               reply failed its CRC;
 *   OSTRELLE_OUTCOME_DISCARDED  bytes that were no reply: noise before or
 *                               after it, a reply that did not fit, bytes
 *                               outside any transaction;
 *   OSTRELLE_OUTCOME_TIMEOUT    no bytes (length 0): nothing came in time.
 * A reply and the bytes around it are handed over when its attempt ends,
 * by the thread in Mb_Read or Mb_Write; bytes outside any transaction by
 * the reader thread as they arrive. The time is the steady clock
 * (CLOCK_MONOTONIC) in nanoseconds at the first byte of the frame, or when
 * the request went out. The callback must return at once and must not call
 * the library. NULL stops the calls; once SetFrameMonitor has returned the
 * previous callback is not called again. It may be called at any time from
 * any thread. Returns 0. */
#define OSTRELLE_FRAME_SENT 0
#define OSTRELLE_FRAME_RECEIVED 1
#define OSTRELLE_OUTCOME_SENT 0
#define OSTRELLE_OUTCOME_REPLY 1
#define OSTRELLE_OUTCOME_TIMEOUT 2
#define OSTRELLE_OUTCOME_CRC_ERROR 3
#define OSTRELLE_OUTCOME_DISCARDED 4

typedef void (*OstrelleFrameCallback)(void *context, int64_t steadyNanoseconds, uint8_t direction, uint8_t outcome,
                                      const uint8_t *bytes, uint16_t length);
int32_t SetFrameMonitor(OstrelleFrameCallback callback, void *context);

#ifdef __cplusplus
}
#endif

#endif /* OSTRELLE_H */
