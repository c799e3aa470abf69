# SPDX-License-Identifier: MIT
# Hardening flags for a program that holds keys in memory. Included from the top-level
# CMakeLists.txt and from the Windows module's own build (src/sfxwin), so both get them.
add_compile_options(-fstack-protector-strong)
if(NOT CALYXOR_SANITIZE AND NOT CALYXOR_TSAN AND NOT CALYXOR_FUZZ)
  # Only where the compiler optimises, which fortification needs; -U first, since Debian's
  # build flags may define it already.
  add_compile_options($<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE>
                      $<$<NOT:$<CONFIG:Debug>>:-D_FORTIFY_SOURCE=2>)
endif()
if(MINGW)
  # PE images: address randomisation (64-bit too) and no execution from data pages. The
  # stack protector's runtime (libssp) is linked statically with the rest.
  add_link_options(-Wl,--dynamicbase,--nxcompat,--high-entropy-va)
  link_libraries(ssp)
else()
  add_link_options(-Wl,-z,relro,-z,now)
endif()
