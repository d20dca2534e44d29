# Build settings: secrets and addresses compiled into the program, never read from files at run time.
# Development defaults point at the reserved .invalid domain so that they fail fast.

set(TIVRA_PACKAGE_PASSWORD "Tv7pK2q9xZ" CACHE STRING "Package password (10 printable ASCII characters)")
set(TIVRA_CREDENTIAL_KEY_USER "dev-user-key-0123456789-abcdefghijklmnopqrstuvwxyz-ABCD" CACHE STRING
    "Credential key for user names (55 bytes)")
set(TIVRA_CREDENTIAL_KEY_PASSWORD "dev-pass-key-9876543210-zyxwvutsrqponmlkjihgfedcba-WXYZ" CACHE STRING
    "Credential key for passwords (55 bytes)")
set(TIVRA_MAKER_SITE "http://www.maker.invalid/" CACHE STRING "Maker's web site address")
set(TIVRA_PACKAGE_REPOSITORY "http://packages.maker.invalid/tivra/" CACHE STRING
    "Package repository base address (ends in /)")
set(TIVRA_USERLIST_TOKEN "tvrk" CACHE STRING "User-list access token (4 lower-case letters)")
set(TIVRA_SAC_MASTER_PASSWORD "" CACHE STRING
    "Support master password (11 upper-case letters and digits; empty: no master password is accepted)")
set(TIVRA_SIGNING_PUBLIC_KEY "" CACHE STRING
    "Ed25519 public key (64 hexadecimal digits) that downloaded packages and installers must be signed with; empty: no signatures are required")

function(tivra_require_match name regex what)
  if(NOT "${${name}}" MATCHES "${regex}")
    message(FATAL_ERROR "Build setting ${name} must be ${what}; got '${${name}}'.")
  endif()
endfunction()

tivra_require_match(TIVRA_PACKAGE_PASSWORD "^[!-~ ][!-~ ][!-~ ][!-~ ][!-~ ][!-~ ][!-~ ][!-~ ][!-~ ][!-~ ]$"
                    "10 printable ASCII characters")
string(LENGTH "${TIVRA_CREDENTIAL_KEY_USER}" _len_user)
string(LENGTH "${TIVRA_CREDENTIAL_KEY_PASSWORD}" _len_pass)
if(NOT _len_user EQUAL 55)
  message(FATAL_ERROR "Build setting TIVRA_CREDENTIAL_KEY_USER must be 55 bytes; it has ${_len_user}.")
endif()
if(NOT _len_pass EQUAL 55)
  message(FATAL_ERROR "Build setting TIVRA_CREDENTIAL_KEY_PASSWORD must be 55 bytes; it has ${_len_pass}.")
endif()
tivra_require_match(TIVRA_MAKER_SITE "^https?://[^ ]+$" "an http:// or https:// address")
tivra_require_match(TIVRA_PACKAGE_REPOSITORY "^https?://[^ ]+/$" "an http:// or https:// address ending in /")
tivra_require_match(TIVRA_USERLIST_TOKEN "^[a-z][a-z][a-z][a-z]$" "4 lower-case letters")
tivra_require_match(TIVRA_SAC_MASTER_PASSWORD "^$|^[A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9][A-Z0-9]$"
                    "empty or 11 upper-case letters and digits")
tivra_require_match(TIVRA_SIGNING_PUBLIC_KEY "^$|^[0-9a-fA-F]+$" "empty or 64 hexadecimal digits")
string(LENGTH "${TIVRA_SIGNING_PUBLIC_KEY}" _len_sign)
if(NOT _len_sign EQUAL 0 AND NOT _len_sign EQUAL 64)
  message(FATAL_ERROR "Build setting TIVRA_SIGNING_PUBLIC_KEY must be empty or 64 hexadecimal digits (an Ed25519 public key); it has ${_len_sign}.")
endif()
# A build without a key runs what it downloads (packages, its own new executable) unchecked: the
# configure says so loudly, and the installer's log and run summary record it too.
if(_len_sign EQUAL 0)
  message(WARNING "TIVRA_SIGNING_PUBLIC_KEY is not set: this build does NOT verify the signatures of the "
                  "packages and installers it downloads and will run them unchecked. Set it to the maker's "
                  "Ed25519 public key (64 hexadecimal digits) for any build that leaves the developers' machines.")
endif()

# Emit every value as a list of byte escapes, so no character needs C++ quoting.
function(tivra_bytes_literal out value)
  string(HEX "${value}" _hex)
  string(REGEX REPLACE "(..)" "\\\\x\\1" _esc "${_hex}")
  set(${out} "\"${_esc}\"" PARENT_SCOPE)
endfunction()

foreach(_v TIVRA_PACKAGE_PASSWORD TIVRA_CREDENTIAL_KEY_USER TIVRA_CREDENTIAL_KEY_PASSWORD TIVRA_MAKER_SITE
           TIVRA_PACKAGE_REPOSITORY TIVRA_USERLIST_TOKEN TIVRA_SAC_MASTER_PASSWORD TIVRA_SIGNING_PUBLIC_KEY)
  tivra_bytes_literal(${_v}_LITERAL "${${_v}}")
endforeach()
configure_file(${CMAKE_CURRENT_LIST_DIR}/buildsettings_values.h.in
               ${CMAKE_BINARY_DIR}/generated/tivra/buildsettings_values.h @ONLY)
