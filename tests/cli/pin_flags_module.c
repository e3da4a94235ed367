/* A PKCS#11 module that puts a token into the state it is in after wrong
 * PINs: it loads the module named by PIN_FLAGS_MODULE, forwards every call
 * to it, and adds to the flags C_GetTokenInfo answers the flag named by
 * PIN_FLAGS ("count_low": CKF_USER_PIN_COUNT_LOW, "final_try":
 * CKF_USER_PIN_FINAL_TRY). The token itself never sets these flags. */
#include <dlfcn.h>
#include <stdlib.h>
#include <string.h>

#include <pkcs11.h>

static CK_FUNCTION_LIST forwarded;
static CK_C_GetTokenInfo real_get_token_info;

static CK_FLAGS added_flags(void) {
  const char* name = getenv("PIN_FLAGS");
  if (name && strcmp(name, "count_low") == 0) return CKF_USER_PIN_COUNT_LOW;
  if (name && strcmp(name, "final_try") == 0) return CKF_USER_PIN_FINAL_TRY;
  return 0;
}

static CK_RV get_token_info(CK_SLOT_ID slot, CK_TOKEN_INFO_PTR info) {
  const CK_RV rv = real_get_token_info(slot, info);
  if (rv == CKR_OK) info->flags |= added_flags();
  return rv;
}

CK_RV C_GetFunctionList(CK_FUNCTION_LIST_PTR_PTR list) {
  if (!list) return CKR_ARGUMENTS_BAD;
  if (!real_get_token_info) {
    const char* path = getenv("PIN_FLAGS_MODULE");
    void* module = path && *path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : NULL;
    CK_C_GetFunctionList get_list = module ? (CK_C_GetFunctionList)dlsym(module, "C_GetFunctionList") : NULL;
    CK_FUNCTION_LIST_PTR real = NULL;
    if (!get_list || get_list(&real) != CKR_OK || !real) return CKR_GENERAL_ERROR;
    forwarded = *real;
    real_get_token_info = real->C_GetTokenInfo;
    forwarded.C_GetTokenInfo = get_token_info;
  }
  *list = &forwarded;
  return CKR_OK;
}
