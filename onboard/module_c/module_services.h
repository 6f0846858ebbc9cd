/* Bindings of the simulator's module services for on-board modules written in
 * C and built with sdcc for the 8051 (scripts/build_module.sh). Include this
 * header in exactly one source file of a module: it also places the cells the
 * simulator reads from the image (service traps, argument cells, bus buffer
 * addresses and the image version).
 *
 * Names and strings are passed as a 32-bit value, M_CODE_NAME("x") for a text
 * in code space, with the memory space in its third byte (0 internal RAM,
 * 1 external RAM, 2 code): sdcc's own generic pointers tag the spaces
 * differently from what the services expect.
 *
 * Value type codes: 1 + 4 * base + (components - 1), base 0 BYTE, 1 INT,
 * 2 WORD, 3 LONG, 4 DWORD, 5 FLOAT. Entry codes: M_ENTRY_* below. */
#ifndef MODULE_SERVICES_H
#define MODULE_SERVICES_H

typedef unsigned long m_name;

#define M_SPACE_IRAM 0UL
#define M_SPACE_XRAM 1UL
#define M_SPACE_CODE 2UL
#define M_CODE_NAME(text) ((M_SPACE_CODE << 16) | (unsigned int)(text))
#define M_XRAM_NAME(pointer) ((M_SPACE_XRAM << 16) | (unsigned int)(pointer))

#define M_ENTRY_WARM_START 1
#define M_ENTRY_COLD_START 2
#define M_ENTRY_1MS 3
#define M_ENTRY_10MS 4
#define M_ENTRY_1000MS 5
#define M_ENTRY_BUS_MESSAGE 6

#define M_TYPE_BYTE 1
#define M_TYPE_INT 5
#define M_TYPE_3xINT 7
#define M_TYPE_WORD 9
#define M_TYPE_LONG 13
#define M_TYPE_3xLONG 15
#define M_TYPE_DWORD 17
#define M_TYPE_FLOAT 21
#define M_TYPE_3xFLOAT 23

/* The external RAM through which the services take their further arguments,
 * and the module's bus message buffers. */
#define M_ARGS_XRAM 0xFB00
#define M_RX_BUFFER_XRAM 0xFC00
#define M_TX_BUFFER_XRAM 0xFD00

__xdata __at(M_ARGS_XRAM) volatile unsigned int m_arg_words[8];
__xdata __at(M_RX_BUFFER_XRAM) unsigned char m_rx_buffer[256];
__xdata __at(M_TX_BUFFER_XRAM) unsigned char m_tx_buffer[256];

/* The address of a delivered bus message is written here before the bus
 * message entry runs. The build step stores its address in the image. */
__data volatile unsigned int m_kom_message;

/* Service traps, argument cells (big-endian external RAM addresses), the bus
 * buffer cells and the image version (the build step stores the start stack
 * pointer at 0xFFFC). */
__code __at(0xFF00) const unsigned char m_service_traps[0x48] = {
    0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0, 0, 0, 0, 0, 0, 0, 0,
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5, 0xA5};
__code __at(0xFF80) const unsigned char m_argument_cells[0x14] = {
    0xFB, 0x00, 0xFB, 0x02, 0xFB, 0x04, 0xFB, 0x06, 0xFB, 0x08, 0xFB, 0x0A, 0xFB, 0x0C,
    0, 0,
    M_RX_BUFFER_XRAM >> 8, M_RX_BUFFER_XRAM & 0xFF, M_TX_BUFFER_XRAM >> 8, M_TX_BUFFER_XRAM & 0xFF};
__code __at(0xFFFC) const unsigned char m_image_tail[3] = {0, 1, 3};

#define M_ARG_BYTE(cell) (*(__xdata volatile unsigned char*)(M_ARGS_XRAM + (cell)))

/* Debug output to the simulator's log. */
#define M_DEBUG_Char(c) ((void (*)(unsigned char))0xFF00)(c)
#define M_DEBUG_String(name) ((void (*)(m_name))0xFF01)(name)
#define M_DEBUG_ULong(v) ((void (*)(unsigned long))0xFF02)(v)
#define M_DEBUG_HexDump(block) ((void (*)(unsigned int))0xFF03)((unsigned int)(block))
#define M_DEBUG_Long(v) ((void (*)(long))0xFF04)(v)
#define M_DEBUG_Float(v) ((void (*)(float))0xFF05)(v)
/* The format must be a text in code space; chars take one byte, ints two,
 * longs four, floats four. */
typedef void (*m_printf_service)(unsigned char, unsigned int, ...) __reentrant;
#define M_DEBUG_Printf(format, ...) \
    ((m_printf_service)0xFF06)(2, (unsigned int)(format), ##__VA_ARGS__)

#define M_SoftwareReset() ((void (*)(void))0xFF20)()
#define M_RegisterEntry(code, function) \
    (m_arg_words[0] = (unsigned int)(function), ((void (*)(unsigned char))0xFF21)(code))
#define SetupInput(name, type, variable) \
    (M_ARG_BYTE(2) = (type), m_arg_words[2] = (unsigned int)(variable), ((void (*)(m_name))0xFF22)(name))
#define BindInput(name, entry) (M_ARG_BYTE(6) = (entry), ((void (*)(m_name))0xFF23)(name))
#define SetupOutput(name, type, variable) \
    (M_ARG_BYTE(8) = (type), m_arg_words[5] = (unsigned int)(variable), ((void (*)(m_name))0xFF24)(name))
#define BindOutput(name, entry) (M_ARG_BYTE(12) = (entry), ((void (*)(m_name))0xFF25)(name))
#define M_Random() ((unsigned char (*)(void))0xFF26)()
#define M_GetTime10ms() ((unsigned int (*)(void))0xFF27)()

/* The on-board bus. A message: byte 0 its length with itself, byte 1 the
 * destination address (1..10, 127 every other module), then the payload. */
typedef __xdata unsigned char* m_message;
typedef m_message (*m_message_service)(void);
#define KOM_Inicializace() ((void (*)(void))0xFF40)()
#define KOM_TestVstupniZpravy() ((unsigned char (*)(void))0xFF41)()
#define KOM_PripravitVstupniZpravu() ((m_message_service)0xFF42)()
#define KOM_UvolnitVstupniZpravu() ((void (*)(void))0xFF43)()
#define KOM_PripravitVystupniZpravu() ((unsigned char (*)(void))0xFF44)()
#define KOM_PointerVystupniZpravy() ((m_message_service)0xFF45)()
#define KOM_PripravSablonuOdpovedi() ((void (*)(void))0xFF46)()
#define KOM_OdeslatVystupniZpravu() ((void (*)(void))0xFF47)()

#endif
