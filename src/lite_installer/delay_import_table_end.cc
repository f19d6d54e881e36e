// The empty descriptor that ends the executable's table of delay-import
// descriptors. dlltool's delay-import libraries put one descriptor per DLL
// into sections ".text$2"; the linker sorts ".text$<suffix>" sections by
// name, so this one follows them (see
// tools/delay_import/set_delay_import_directory.py). Nothing refers to it:
// the link keeps it with -u.
extern "C" __attribute__((section(".text$3"), aligned(4), used))
const unsigned char lite_delay_import_table_end[32] = {};
