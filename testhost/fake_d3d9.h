// A stand-in Direct3D 9 device for the gamma tests: the test sets the
// cooperative-level answer and the ramp, and reads back the SetGammaRamp and
// GetGammaRamp calls and the reference count. Every other method does nothing
// (QZ_NI: E_NOTIMPL, QZ_ZERO: a zero of its type).
#pragma once
#include <windows.h>
#include <d3d9.h>

#include <vector>

#define QZ_NI(name, ...) STDMETHOD(name)(__VA_ARGS__) override { return E_NOTIMPL; }
#define QZ_ZERO(type, name, ...) STDMETHOD_(type, name)(__VA_ARGS__) override { return type(); }

namespace qz::test {

class FakeD3DDevice9 final : public IDirect3DDevice9 {
public:
    struct SetCall { UINT swap_chain; DWORD flags; D3DGAMMARAMP ramp; };
    HRESULT cooperative_level = D3D_OK;  // what TestCooperativeLevel answers
    D3DGAMMARAMP ramp{};                 // handed out by GetGammaRamp, replaced by SetGammaRamp
    std::vector<UINT> get_calls;         // swap chain of each GetGammaRamp
    std::vector<SetCall> set_calls;
    int test_calls = 0;
    LONG refs = 1;  // the test owns the object: Release never frees it

    STDMETHOD(QueryInterface)(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
    STDMETHOD(TestCooperativeLevel)() override;
    STDMETHOD_(void, SetGammaRamp)(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* ramp) override;
    STDMETHOD_(void, GetGammaRamp)(UINT swap_chain, D3DGAMMARAMP* ramp) override;
    QZ_NI(CreateDepthStencilSurface, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)
    QZ_NI(CreateRenderTarget, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)
    QZ_NI(CreateVolumeTexture, UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**, HANDLE*)
    QZ_NI(DrawIndexedPrimitiveUP, D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT)
    QZ_NI(StretchRect, IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*, D3DTEXTUREFILTERTYPE)
    QZ_NI(ProcessVertices, UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD)
    QZ_NI(CreateCubeTexture, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*) QZ_NI(BeginScene)
    QZ_NI(CreateOffscreenPlainSurface, UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) QZ_NI(EndScene)
    QZ_NI(CreateTexture, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*) QZ_NI(SetFVF, DWORD)
    QZ_NI(CreateIndexBuffer, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) QZ_NI(DeletePatch, UINT)
    QZ_NI(CreateVertexBuffer, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) QZ_NI(BeginStateBlock)
    QZ_NI(UpdateSurface, IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*) QZ_NI(EvictManagedResources)
    QZ_NI(CreateVertexDeclaration, const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**) QZ_NI(GetScissorRect, RECT*)
    QZ_NI(CreateAdditionalSwapChain, D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) QZ_ZERO(UINT, GetNumberOfSwapChains)
    QZ_NI(DrawIndexedPrimitive, D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) QZ_NI(SetIndices, IDirect3DIndexBuffer9*)
    QZ_NI(GetBackBuffer, UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) QZ_NI(GetIndices, IDirect3DIndexBuffer9**)
    QZ_NI(UpdateTexture, IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) QZ_NI(GetRasterStatus, UINT, D3DRASTER_STATUS*)
    QZ_NI(GetTextureStageState, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) QZ_NI(SetVertexShader, IDirect3DVertexShader9*)
    QZ_NI(GetStreamSource, UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) QZ_NI(GetPixelShader, IDirect3DPixelShader9**)
    QZ_NI(SetTextureStageState, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) QZ_NI(GetSwapChain, UINT, IDirect3DSwapChain9**)
    QZ_NI(GetRenderTargetData, IDirect3DSurface9*, IDirect3DSurface9*) QZ_ZERO(void, SetCursorPosition, int, int, DWORD)
    QZ_NI(Clear, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD) QZ_NI(SetRenderTarget, DWORD, IDirect3DSurface9*)
    QZ_NI(CreateStateBlock, D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) QZ_NI(SetDepthStencilSurface, IDirect3DSurface9*)
    QZ_NI(DrawRectPatch, UINT, const float*, const D3DRECTPATCH_INFO*) QZ_NI(GetRenderState, D3DRENDERSTATETYPE, DWORD*)
    QZ_NI(MultiplyTransform, D3DTRANSFORMSTATETYPE, const D3DMATRIX*) QZ_NI(GetRenderTarget, DWORD, IDirect3DSurface9**)
    QZ_NI(DrawPrimitiveUP, D3DPRIMITIVETYPE, UINT, const void*, UINT) QZ_NI(GetDepthStencilSurface, IDirect3DSurface9**)
    QZ_NI(CreateVertexShader, const DWORD*, IDirect3DVertexShader9**) QZ_NI(DrawPrimitive, D3DPRIMITIVETYPE, UINT, UINT)
    QZ_NI(SetStreamSource, UINT, IDirect3DVertexBuffer9*, UINT, UINT) QZ_NI(GetPixelShaderConstantF, UINT, float*, UINT)
    QZ_NI(DrawTriPatch, UINT, const float*, const D3DTRIPATCH_INFO*) QZ_NI(GetFrontBufferData, UINT, IDirect3DSurface9*)
    QZ_NI(CreatePixelShader, const DWORD*, IDirect3DPixelShader9**) QZ_NI(GetPixelShaderConstantB, UINT, WINBOOL*, UINT)
    QZ_NI(Present, const RECT*, const RECT*, HWND, const RGNDATA*) QZ_NI(GetVertexShaderConstantB, UINT, WINBOOL*, UINT)
    QZ_NI(GetCreationParameters, D3DDEVICE_CREATION_PARAMETERS*) QZ_NI(SetVertexShaderConstantI, UINT, const int*, UINT)
    QZ_NI(SetTransform, D3DTRANSFORMSTATETYPE, const D3DMATRIX*) QZ_NI(GetTransform, D3DTRANSFORMSTATETYPE, D3DMATRIX*)
    QZ_NI(ColorFill, IDirect3DSurface9*, const RECT*, D3DCOLOR) QZ_NI(SetPixelShaderConstantF, UINT, const float*, UINT)
    QZ_NI(SetVertexShaderConstantB, UINT, const WINBOOL*, UINT) QZ_NI(SetPixelShaderConstantI, UINT, const int*, UINT)
    QZ_NI(SetCursorProperties, UINT, UINT, IDirect3DSurface9*) QZ_NI(SetSamplerState, DWORD, D3DSAMPLERSTATETYPE, DWORD)
    QZ_NI(GetSamplerState, DWORD, D3DSAMPLERSTATETYPE, DWORD*) QZ_NI(SetVertexDeclaration, IDirect3DVertexDeclaration9*)
    QZ_NI(GetVertexDeclaration, IDirect3DVertexDeclaration9**) QZ_NI(SetVertexShaderConstantF, UINT, const float*, UINT)
    QZ_NI(SetPixelShaderConstantB, UINT, const WINBOOL*, UINT) QZ_NI(SetPaletteEntries, UINT, const PALETTEENTRY*)
    QZ_NI(GetVertexShaderConstantF, UINT, float*, UINT) QZ_NI(CreateQuery, D3DQUERYTYPE, IDirect3DQuery9**)
    QZ_NI(GetTexture, DWORD, IDirect3DBaseTexture9**) QZ_NI(GetVertexShaderConstantI, UINT, int*, UINT)
    QZ_NI(SetRenderState, D3DRENDERSTATETYPE, DWORD) QZ_NI(SetTexture, DWORD, IDirect3DBaseTexture9*)
    QZ_NI(GetVertexShader, IDirect3DVertexShader9**) QZ_NI(GetPixelShaderConstantI, UINT, int*, UINT)
    QZ_NI(GetPaletteEntries, UINT, PALETTEENTRY*) QZ_ZERO(WINBOOL, GetSoftwareVertexProcessing) QZ_NI(GetFVF, DWORD*)
    QZ_NI(SetPixelShader, IDirect3DPixelShader9*) QZ_NI(GetDisplayMode, UINT, D3DDISPLAYMODE*)
    QZ_NI(EndStateBlock, IDirect3DStateBlock9**) QZ_NI(SetClipStatus, const D3DCLIPSTATUS9*) QZ_NI(SetNPatchMode, float)
    QZ_NI(SetSoftwareVertexProcessing, WINBOOL) QZ_NI(SetLight, DWORD, const D3DLIGHT9*) QZ_NI(GetDeviceCaps, D3DCAPS9*)
    QZ_NI(SetClipPlane, DWORD, const float*) QZ_NI(SetViewport, const D3DVIEWPORT9*) QZ_NI(GetLight, DWORD, D3DLIGHT9*)
    QZ_NI(SetMaterial, const D3DMATERIAL9*) QZ_NI(GetStreamSourceFreq, UINT, UINT*) QZ_NI(Reset, D3DPRESENT_PARAMETERS*)
    QZ_NI(GetLightEnable, DWORD, WINBOOL*) QZ_NI(GetCurrentTexturePalette, UINT*) QZ_NI(SetStreamSourceFreq, UINT, UINT)
    QZ_ZERO(UINT, GetAvailableTextureMem) QZ_ZERO(WINBOOL, ShowCursor, WINBOOL) QZ_NI(GetClipStatus, D3DCLIPSTATUS9*)
    QZ_NI(SetCurrentTexturePalette, UINT) QZ_NI(LightEnable, DWORD, WINBOOL) QZ_NI(GetClipPlane, DWORD, float*)
    QZ_NI(SetScissorRect, const RECT*) QZ_NI(GetViewport, D3DVIEWPORT9*) QZ_NI(GetMaterial, D3DMATERIAL9*)
    QZ_NI(GetDirect3D, IDirect3D9**) QZ_NI(SetDialogBoxMode, WINBOOL) QZ_NI(ValidateDevice, DWORD*)
    QZ_ZERO(float, GetNPatchMode)
};

}  // namespace qz::test

#undef QZ_NI
#undef QZ_ZERO
