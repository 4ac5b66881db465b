/* serial_throughput_c PORT_OUT PORT_IN BLOCKS: the transfer of
   bench/serial/serial_throughput.js done in plain C: BLOCKS blocks of 4 KiB
   written to PORT_OUT and read back from PORT_IN, in reads of 1 KiB (a Linux
   pseudo-terminal queues less than 4 KiB), each once that many bytes are
   queued, polling the queue every millisecond.  Prints the figure as
   "bytes=N seconds=S". */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

enum { kBlock = 4096, kPiece = 1024 };

static HANDLE openPort(const char *name)
{
    HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING,
                           FILE_FLAG_WRITE_THROUGH, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return h;
    COMMTIMEOUTS t;
    GetCommTimeouts(h, &t);
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutConstant = 1;
    SetCommTimeouts(h, &t);
    SetupComm(h, 1024, 1024);
    DCB dcb;
    memset(&dcb, 0, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    GetCommState(h, &dcb);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fOutxCtsFlow = dcb.fOutxDsrFlow = 0;
    dcb.fRtsControl = RTS_CONTROL_DISABLE;
    SetCommState(h, &dcb);
    return h;
}

/* Waits (1 ms polls, at most 15 per byte) until n bytes are queued. */
static int waitFor(HANDLE h, DWORD n)
{
    DWORD budget = n * 15 < 150 ? 150 : n * 15, errors;
    COMSTAT st;
    for (;;) {
        if (!ClearCommError(h, &errors, &st))
            return 0;
        if (st.cbInQue >= n)
            return 1;
        if (budget-- == 0)
            return 0;
        Sleep(1);
    }
}

int main(int argc, char **argv)
{
    if (argc < 4) {
        fprintf(stderr, "usage: serial_throughput_c PORT_OUT PORT_IN BLOCKS\n");
        return 2;
    }
    HANDLE out = openPort(argv[1]), in = openPort(argv[2]);
    int blocks = atoi(argv[3]);
    if (out == INVALID_HANDLE_VALUE || in == INVALID_HANDLE_VALUE) {
        fprintf(stderr, "serial_throughput_c: cannot open the ports\n");
        return 1;
    }
    PurgeComm(in, PURGE_RXCLEAR);
    /* Two blocks of every byte value, made before the clock starts; the last
       block read is checked after it stops. */
    static char made[2][kBlock], back[kBlock];
    for (int k = 0; k < 2; k++)
        for (int i = 0; i < kBlock; i++)
            made[k][i] = (char)(i * 7 + k);
    LARGE_INTEGER f, t0, t1;
    QueryPerformanceFrequency(&f);
    QueryPerformanceCounter(&t0);
    for (int b = 0; b < blocks; b++) {
        DWORD n = 0;
        PurgeComm(out, PURGE_RXCLEAR);
        if (!WriteFile(out, made[b & 1], kBlock, &n, NULL) || n != kBlock) {
            fprintf(stderr, "serial_throughput_c: write failed\n");
            return 1;
        }
        for (int at = 0; at < kBlock; at += kPiece) {
            DWORD got = 0;
            if (!waitFor(in, kPiece) || !ReadFile(in, back + at, kPiece, &got, NULL) || got != kPiece) {
                fprintf(stderr, "serial_throughput_c: block %d: read failed at %d\n", b, at);
                return 1;
            }
        }
    }
    QueryPerformanceCounter(&t1);
    if (blocks > 0 && memcmp(made[(blocks - 1) & 1], back, kBlock) != 0) {
        fprintf(stderr, "serial_throughput_c: the last block came back changed\n");
        return 1;
    }
    printf("bytes=%ld seconds=%.6f\n", (long)blocks * kBlock,
           (double)(t1.QuadPart - t0.QuadPart) / (double)f.QuadPart);
    CloseHandle(out);
    CloseHandle(in);
    return 0;
}
