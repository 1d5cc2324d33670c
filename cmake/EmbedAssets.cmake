# Builds every file of an asset folder into a library: the bytes are assembled in with
# .incbin, and a generated table maps each file's name (without extension) to its bytes.
function(sorvanta_embed_assets target dir)
  file(GLOB_RECURSE files CONFIGURE_DEPENDS ${dir}/*)
  list(FILTER files EXCLUDE REGEX "(\\.md|\\.txt|\\.h|\\.cpp|LICENSE[^/]*|/\\.[^/]*)$")
  list(SORT files)
  set(asm "${CMAKE_CURRENT_BINARY_DIR}/${target}_data.S")
  set(cpp "${CMAKE_CURRENT_BINARY_DIR}/${target}_table.cpp")
  set(asm_text "    .section .rodata\n")
  set(decls "")
  set(rows "")
  set(i 0)
  foreach(f IN LISTS files)
    get_filename_component(name ${f} NAME_WE)
    string(APPEND asm_text "    .global sorvanta_asset_${i}\n    .balign 16\nsorvanta_asset_${i}:\n    .incbin \"${f}\"\n    .global sorvanta_asset_${i}_end\nsorvanta_asset_${i}_end:\n    .byte 0\n")
    string(APPEND decls "extern \"C\" const unsigned char sorvanta_asset_${i}[];\nextern \"C\" const unsigned char sorvanta_asset_${i}_end[];\n")
    string(APPEND rows "    {\"${name}\", sorvanta_asset_${i}, sorvanta_asset_${i}_end},\n")
    math(EXPR i "${i} + 1")
  endforeach()
  string(APPEND asm_text "    .section .note.GNU-stack,\"\",@progbits\n")
  file(CONFIGURE OUTPUT ${asm} CONTENT "${asm_text}")
  file(CONFIGURE OUTPUT ${cpp} CONTENT "// Generated: the table of built-in assets.
#include \"assets/Assets.h\"
#include <cstring>
${decls}
namespace assets {
namespace {
struct Row { const char* name; const unsigned char* begin; const unsigned char* end; };
const Row kRows[] = {
${rows}    {nullptr, nullptr, nullptr},
};
}  // namespace
std::span<const unsigned char> Find(std::string_view name) {
  for (const Row* r = kRows; r->name; ++r)
    if (name == r->name) return {r->begin, static_cast<std::size_t>(r->end - r->begin)};
  return {};
}
}  // namespace assets
" @ONLY)
  add_library(${target} STATIC ${asm} ${cpp})
  set_source_files_properties(${asm} PROPERTIES OBJECT_DEPENDS "${files}")
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR})
endfunction()
