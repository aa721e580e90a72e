// box_table: the reader of every known box type. Types not listed, and the listed ones
// without a reader, are kept in the tree without contents.

#include "demux/box.h"
#include "demux/box_readers.h"

namespace {

struct BoxTableRow {
    uint32_t type;
    BoxReader reader;
};

constexpr uint32_t F(char a, char b, char c, char d) {
    return fourcc(a, b, c, d);
}
constexpr char kCopyright = static_cast<char>(0xA9);

const BoxTableRow box_table[] = {
    // Containers.
    {F('m', 'o', 'o', 'v'), MP4_ReadContainer},
    {F('t', 'r', 'a', 'k'), MP4_ReadContainer},
    {F('m', 'd', 'i', 'a'), MP4_ReadContainer},
    {F('m', 'o', 'o', 'f'), MP4_ReadContainer},
    {F('m', 'i', 'n', 'f'), MP4_ReadContainer},
    {F('s', 't', 'b', 'l'), MP4_ReadContainer},
    {F('d', 'i', 'n', 'f'), MP4_ReadContainer},
    {F('e', 'd', 't', 's'), MP4_ReadContainer},
    {F('u', 'd', 't', 'a'), MP4_ReadContainer},
    {F('n', 'm', 'h', 'd'), MP4_ReadContainer},
    {F('h', 'n', 't', 'i'), MP4_ReadContainer},
    {F('r', 'm', 'r', 'a'), MP4_ReadContainer},
    {F('r', 'm', 'd', 'a'), MP4_ReadContainer},
    {F('t', 'r', 'e', 'f'), MP4_ReadContainer},
    {F('g', 'm', 'h', 'd'), MP4_ReadContainer},
    {F('w', 'a', 'v', 'e'), MP4_ReadContainer},
    {F('s', 'i', 'n', 'f'), MP4_ReadContainer},
    {F('s', 'c', 'h', 'i'), MP4_ReadContainer},
    // Skipped.
    {F('m', 'd', 'a', 't'), MP4_ReadBoxSkip},
    {F('s', 'k', 'i', 'p'), MP4_ReadBoxSkip},
    {F('f', 'r', 'e', 'e'), MP4_ReadBoxSkip},
    {F('w', 'i', 'd', 'e'), MP4_ReadBoxSkip},
    // File type, movie, track and media headers.
    {F('f', 't', 'y', 'p'), MP4_ReadBox_ftyp},
    {F('m', 'v', 'h', 'd'), MP4_ReadBox_mvhd},
    {F('t', 'k', 'h', 'd'), MP4_ReadBox_tkhd},
    {F('m', 'd', 'h', 'd'), MP4_ReadBox_mdhd},
    {F('h', 'd', 'l', 'r'), MP4_ReadBox_hdlr},
    {F('v', 'm', 'h', 'd'), MP4_ReadBox_vmhd},
    {F('s', 'm', 'h', 'd'), MP4_ReadBox_smhd},
    {F('h', 'm', 'h', 'd'), MP4_ReadBox_hmhd},
    // Data references.
    {F('d', 'r', 'e', 'f'), MP4_ReadBox_dref},
    {F('u', 'r', 'l', ' '), MP4_ReadBox_url},
    {F('u', 'r', 'n', ' '), MP4_ReadBox_urn},
    // Sample tables.
    {F('s', 't', 's', 'd'), MP4_ReadBox_stsd},
    {F('s', 't', 't', 's'), MP4_ReadBox_stts},
    {F('c', 't', 't', 's'), MP4_ReadBox_ctts},
    {F('s', 't', 's', 'z'), MP4_ReadBox_stsz},
    {F('s', 't', 's', 'c'), MP4_ReadBox_stsc},
    {F('s', 't', 'c', 'o'), MP4_ReadBox_stco_co64},
    {F('c', 'o', '6', '4'), MP4_ReadBox_stco_co64},
    {F('s', 't', 's', 's'), MP4_ReadBox_stss},
    {F('s', 't', 's', 'h'), MP4_ReadBox_stsh},
    {F('s', 't', 'd', 'p'), MP4_ReadBox_stdp},
    {F('p', 'a', 'd', 'b'), MP4_ReadBox_padb},
    // Edit list and notice.
    {F('e', 'l', 's', 't'), MP4_ReadBox_elst},
    {F('c', 'p', 'r', 't'), MP4_ReadBox_cprt},
    // Codec configuration.
    {F('e', 's', 'd', 's'), MP4_ReadBox_esds},
    {F('a', 'v', 'c', 'C'), MP4_ReadBox_avcC},
    {F('d', '2', '6', '3'), MP4_ReadBox_d263},
    {F('d', 'a', 'm', 'r'), MP4_ReadBox_damr},
    // Compressed movie.
    {F('c', 'm', 'o', 'v'), MP4_ReadBox_cmov},
    {F('d', 'c', 'o', 'm'), MP4_ReadBox_dcom},
    {F('c', 'm', 'v', 'd'), MP4_ReadBox_cmvd},
    // Sound sample entries.
    {F('s', 'o', 'u', 'n'), MP4_ReadBox_sample_soun},
    {F('m', 's', '\0', '\x02'), MP4_ReadBox_sample_soun},
    {F('m', 's', '\0', '\x11'), MP4_ReadBox_sample_soun},
    {F('m', 's', '\0', '\x55'), MP4_ReadBox_sample_soun},
    {F('.', 'm', 'p', '3'), MP4_ReadBox_sample_soun},
    {F('m', 'p', '4', 'a'), MP4_ReadBox_sample_soun},
    {F('t', 'w', 'o', 's'), MP4_ReadBox_sample_soun},
    {F('s', 'o', 'w', 't'), MP4_ReadBox_sample_soun},
    {F('Q', 'D', 'M', 'C'), MP4_ReadBox_sample_soun},
    {F('Q', 'D', 'M', '2'), MP4_ReadBox_sample_soun},
    {F('i', 'm', 'a', '4'), MP4_ReadBox_sample_soun},
    {F('I', 'M', 'A', '4'), MP4_ReadBox_sample_soun},
    {F('d', 'v', 'i', ' '), MP4_ReadBox_sample_soun},
    {F('a', 'l', 'a', 'w'), MP4_ReadBox_sample_soun},
    {F('u', 'l', 'a', 'w'), MP4_ReadBox_sample_soun},
    {F('r', 'a', 'w', ' '), MP4_ReadBox_sample_soun},
    {F('M', 'A', 'C', '3'), MP4_ReadBox_sample_soun},
    {F('M', 'A', 'C', '6'), MP4_ReadBox_sample_soun},
    {F('Q', 'c', 'l', 'p'), MP4_ReadBox_sample_soun},
    {F('s', 'a', 'm', 'r'), MP4_ReadBox_sample_soun},
    {F('s', 'a', 'w', 'b'), MP4_ReadBox_sample_soun},
    {F('O', 'g', 'g', 'S'), MP4_ReadBox_sample_soun},
    {F('d', 'r', 'm', 's'), MP4_ReadBox_sample_soun},
    // Video sample entries.
    {F('v', 'i', 'd', 'e'), MP4_ReadBox_sample_vide},
    {F('m', 'p', '4', 'v'), MP4_ReadBox_sample_vide},
    {F('S', 'V', 'Q', '1'), MP4_ReadBox_sample_vide},
    {F('S', 'V', 'Q', '3'), MP4_ReadBox_sample_vide},
    {F('Z', 'y', 'G', 'o'), MP4_ReadBox_sample_vide},
    {F('D', 'I', 'V', 'X'), MP4_ReadBox_sample_vide},
    {F('h', '2', '6', '3'), MP4_ReadBox_sample_vide},
    {F('s', '2', '6', '3'), MP4_ReadBox_sample_vide},
    {F('c', 'v', 'i', 'd'), MP4_ReadBox_sample_vide},
    {F('3', 'I', 'V', '1'), MP4_ReadBox_sample_vide},
    {F('3', 'i', 'v', '1'), MP4_ReadBox_sample_vide},
    {F('3', 'I', 'V', '2'), MP4_ReadBox_sample_vide},
    {F('3', 'i', 'v', '2'), MP4_ReadBox_sample_vide},
    {F('3', 'I', 'V', 'D'), MP4_ReadBox_sample_vide},
    {F('3', 'i', 'v', 'd'), MP4_ReadBox_sample_vide},
    {F('3', 'V', 'I', 'D'), MP4_ReadBox_sample_vide},
    {F('3', 'v', 'i', 'd'), MP4_ReadBox_sample_vide},
    {F('m', 'j', 'p', 'a'), MP4_ReadBox_sample_vide},
    {F('m', 'j', 'q', 't'), MP4_ReadBox_sample_vide},
    {F('d', 'v', 'c', ' '), MP4_ReadBox_sample_vide},
    {F('d', 'v', 'p', ' '), MP4_ReadBox_sample_vide},
    {F('V', 'P', '3', '1'), MP4_ReadBox_sample_vide},
    {F('v', 'p', '3', '1'), MP4_ReadBox_sample_vide},
    {F('h', '2', '6', '4'), MP4_ReadBox_sample_vide},
    {F('j', 'p', 'e', 'g'), MP4_ReadBox_sample_vide},
    {F('a', 'v', 'c', '1'), MP4_ReadBox_sample_vide},
    // Reference movie.
    {F('r', 'd', 'r', 'f'), MP4_ReadBox_rdrf},
    {F('r', 'm', 'd', 'r'), MP4_ReadBox_rmdr},
    {F('r', 'm', 'q', 'u'), MP4_ReadBox_rmqu},
    {F('r', 'm', 'v', 'c'), MP4_ReadBox_rmvc},
    // Protection data.
    {F('u', 's', 'e', 'r'), MP4_ReadBox_drms},
    {F('k', 'e', 'y', ' '), MP4_ReadBox_drms},
    {F('i', 'v', 'i', 'v'), MP4_ReadBox_drms},
    {F('n', 'a', 'm', 'e'), MP4_ReadBox_drms},
    {F('p', 'r', 'i', 'v'), MP4_ReadBox_drms},
    // Text entries.
    {F(kCopyright, 'n', 'a', 'm'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'a', 'u', 't'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'c', 'p', 'y'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 's', 'w', 'r'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'i', 'n', 'f'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'A', 'R', 'T'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'd', 'i', 'r'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'c', 'm', 't'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'r', 'e', 'q'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'd', 'a', 'y'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'd', 'e', 's'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'f', 'm', 't'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'p', 'r', 'd'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 'p', 'r', 'f'), MP4_ReadBox_0xa9xxx},
    {F(kCopyright, 's', 'r', 'c'), MP4_ReadBox_0xa9xxx},
    // Kept without contents.
    {F('m', 'j', 'h', 't'), nullptr},
    {F('m', 'j', 'p', 'b'), nullptr},
    {F('m', 'p', '4', 's'), nullptr},
    {F('h', 'i', 'n', 't'), nullptr},
    {F('d', 'p', 'n', 'd'), nullptr},
    {F('i', 'p', 'i', 'r'), nullptr},
    {F('m', 'p', 'o', 'd'), nullptr},
    {F('r', 't', 'p', ' '), nullptr},
    {0, nullptr},
};

}  // namespace

BoxReader mp4_FindReader(uint32_t type) {
    for (const BoxTableRow* row = box_table; row->type != 0; ++row)
        if (row->type == type) return row->reader;
    return nullptr;
}
