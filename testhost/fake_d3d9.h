// A stand-in Direct3D 9 device for the gamma tests: the test sets the
// cooperative-level answer and the ramp, and reads back the SetGammaRamp and
// GetGammaRamp calls and the reference count. Every other method does nothing.
#pragma once
#include <windows.h>
#include <d3d9.h>

#include <vector>

#define QZ_NOTIMPL(name, ...) STDMETHOD(name)(__VA_ARGS__) override { return E_NOTIMPL; }
#define QZ_ZERO(type, name, ...) STDMETHOD_(type, name)(__VA_ARGS__) override { return type(); }

namespace qz::test {

class FakeD3DDevice9 final : public IDirect3DDevice9 {
public:
    struct SetCall {
        UINT swap_chain;
        DWORD flags;
        D3DGAMMARAMP ramp;
    };

    HRESULT cooperative_level = D3D_OK;  // what TestCooperativeLevel answers
    D3DGAMMARAMP ramp{};                 // handed out by GetGammaRamp, replaced by SetGammaRamp
    std::vector<UINT> get_calls;         // swap chain of each GetGammaRamp
    std::vector<SetCall> set_calls;
    int test_calls = 0;
    LONG refs = 1;  // the test owns the object: Release never frees it

    STDMETHOD(QueryInterface)(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHOD_(ULONG, AddRef)() override { return static_cast<ULONG>(++refs); }
    STDMETHOD_(ULONG, Release)() override { return static_cast<ULONG>(--refs); }
    STDMETHOD(TestCooperativeLevel)() override;
    STDMETHOD_(void, SetGammaRamp)(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* ramp) override;
    STDMETHOD_(void, GetGammaRamp)(UINT swap_chain, D3DGAMMARAMP* ramp) override;

    QZ_ZERO(UINT, GetAvailableTextureMem) QZ_NOTIMPL(EvictManagedResources) QZ_NOTIMPL(GetDirect3D, IDirect3D9**)
    QZ_NOTIMPL(GetDeviceCaps, D3DCAPS9*) QZ_NOTIMPL(GetDisplayMode, UINT, D3DDISPLAYMODE*)
    QZ_NOTIMPL(GetCreationParameters, D3DDEVICE_CREATION_PARAMETERS*)
    QZ_NOTIMPL(SetCursorProperties, UINT, UINT, IDirect3DSurface9*) QZ_ZERO(void, SetCursorPosition, int, int, DWORD)
    QZ_ZERO(WINBOOL, ShowCursor, WINBOOL)
    QZ_NOTIMPL(CreateAdditionalSwapChain, D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**)
    QZ_NOTIMPL(GetSwapChain, UINT, IDirect3DSwapChain9**) QZ_ZERO(UINT, GetNumberOfSwapChains)
    QZ_NOTIMPL(Reset, D3DPRESENT_PARAMETERS*) QZ_NOTIMPL(Present, const RECT*, const RECT*, HWND, const RGNDATA*)
    QZ_NOTIMPL(GetBackBuffer, UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**)
    QZ_NOTIMPL(GetRasterStatus, UINT, D3DRASTER_STATUS*) QZ_NOTIMPL(SetDialogBoxMode, WINBOOL)
    QZ_NOTIMPL(CreateTexture, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*)
    QZ_NOTIMPL(CreateVolumeTexture, UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**, HANDLE*)
    QZ_NOTIMPL(CreateCubeTexture, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*)
    QZ_NOTIMPL(CreateVertexBuffer, UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*)
    QZ_NOTIMPL(CreateIndexBuffer, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*)
    QZ_NOTIMPL(CreateRenderTarget, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)
    QZ_NOTIMPL(CreateDepthStencilSurface, UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*)
    QZ_NOTIMPL(UpdateSurface, IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const POINT*)
    QZ_NOTIMPL(UpdateTexture, IDirect3DBaseTexture9*, IDirect3DBaseTexture9*)
    QZ_NOTIMPL(GetRenderTargetData, IDirect3DSurface9*, IDirect3DSurface9*)
    QZ_NOTIMPL(GetFrontBufferData, UINT, IDirect3DSurface9*)
    QZ_NOTIMPL(StretchRect, IDirect3DSurface9*, const RECT*, IDirect3DSurface9*, const RECT*, D3DTEXTUREFILTERTYPE)
    QZ_NOTIMPL(ColorFill, IDirect3DSurface9*, const RECT*, D3DCOLOR)
    QZ_NOTIMPL(CreateOffscreenPlainSurface, UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*)
    QZ_NOTIMPL(SetRenderTarget, DWORD, IDirect3DSurface9*) QZ_NOTIMPL(GetRenderTarget, DWORD, IDirect3DSurface9**)
    QZ_NOTIMPL(SetDepthStencilSurface, IDirect3DSurface9*) QZ_NOTIMPL(GetDepthStencilSurface, IDirect3DSurface9**)
    QZ_NOTIMPL(BeginScene) QZ_NOTIMPL(EndScene)
    QZ_NOTIMPL(Clear, DWORD, const D3DRECT*, DWORD, D3DCOLOR, float, DWORD)
    QZ_NOTIMPL(SetTransform, D3DTRANSFORMSTATETYPE, const D3DMATRIX*)
    QZ_NOTIMPL(GetTransform, D3DTRANSFORMSTATETYPE, D3DMATRIX*)
    QZ_NOTIMPL(MultiplyTransform, D3DTRANSFORMSTATETYPE, const D3DMATRIX*)
    QZ_NOTIMPL(SetViewport, const D3DVIEWPORT9*) QZ_NOTIMPL(GetViewport, D3DVIEWPORT9*)
    QZ_NOTIMPL(SetMaterial, const D3DMATERIAL9*) QZ_NOTIMPL(GetMaterial, D3DMATERIAL9*)
    QZ_NOTIMPL(SetLight, DWORD, const D3DLIGHT9*) QZ_NOTIMPL(GetLight, DWORD, D3DLIGHT9*)
    QZ_NOTIMPL(LightEnable, DWORD, WINBOOL) QZ_NOTIMPL(GetLightEnable, DWORD, WINBOOL*)
    QZ_NOTIMPL(SetClipPlane, DWORD, const float*) QZ_NOTIMPL(GetClipPlane, DWORD, float*)
    QZ_NOTIMPL(SetRenderState, D3DRENDERSTATETYPE, DWORD) QZ_NOTIMPL(GetRenderState, D3DRENDERSTATETYPE, DWORD*)
    QZ_NOTIMPL(CreateStateBlock, D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) QZ_NOTIMPL(BeginStateBlock)
    QZ_NOTIMPL(EndStateBlock, IDirect3DStateBlock9**) QZ_NOTIMPL(SetClipStatus, const D3DCLIPSTATUS9*)
    QZ_NOTIMPL(GetClipStatus, D3DCLIPSTATUS9*) QZ_NOTIMPL(GetTexture, DWORD, IDirect3DBaseTexture9**)
    QZ_NOTIMPL(SetTexture, DWORD, IDirect3DBaseTexture9*)
    QZ_NOTIMPL(GetTextureStageState, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*)
    QZ_NOTIMPL(SetTextureStageState, DWORD, D3DTEXTURESTAGESTATETYPE, DWORD)
    QZ_NOTIMPL(GetSamplerState, DWORD, D3DSAMPLERSTATETYPE, DWORD*)
    QZ_NOTIMPL(SetSamplerState, DWORD, D3DSAMPLERSTATETYPE, DWORD) QZ_NOTIMPL(ValidateDevice, DWORD*)
    QZ_NOTIMPL(SetPaletteEntries, UINT, const PALETTEENTRY*) QZ_NOTIMPL(GetPaletteEntries, UINT, PALETTEENTRY*)
    QZ_NOTIMPL(SetCurrentTexturePalette, UINT) QZ_NOTIMPL(GetCurrentTexturePalette, UINT*)
    QZ_NOTIMPL(SetScissorRect, const RECT*) QZ_NOTIMPL(GetScissorRect, RECT*)
    QZ_NOTIMPL(SetSoftwareVertexProcessing, WINBOOL) QZ_ZERO(WINBOOL, GetSoftwareVertexProcessing)
    QZ_NOTIMPL(SetNPatchMode, float) QZ_ZERO(float, GetNPatchMode)
    QZ_NOTIMPL(DrawPrimitive, D3DPRIMITIVETYPE, UINT, UINT)
    QZ_NOTIMPL(DrawIndexedPrimitive, D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT)
    QZ_NOTIMPL(DrawPrimitiveUP, D3DPRIMITIVETYPE, UINT, const void*, UINT)
    QZ_NOTIMPL(DrawIndexedPrimitiveUP, D3DPRIMITIVETYPE, UINT, UINT, UINT, const void*, D3DFORMAT, const void*, UINT)
    QZ_NOTIMPL(ProcessVertices, UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD)
    QZ_NOTIMPL(CreateVertexDeclaration, const D3DVERTEXELEMENT9*, IDirect3DVertexDeclaration9**)
    QZ_NOTIMPL(SetVertexDeclaration, IDirect3DVertexDeclaration9*)
    QZ_NOTIMPL(GetVertexDeclaration, IDirect3DVertexDeclaration9**) QZ_NOTIMPL(SetFVF, DWORD)
    QZ_NOTIMPL(GetFVF, DWORD*) QZ_NOTIMPL(CreateVertexShader, const DWORD*, IDirect3DVertexShader9**)
    QZ_NOTIMPL(SetVertexShader, IDirect3DVertexShader9*) QZ_NOTIMPL(GetVertexShader, IDirect3DVertexShader9**)
    QZ_NOTIMPL(SetVertexShaderConstantF, UINT, const float*, UINT)
    QZ_NOTIMPL(GetVertexShaderConstantF, UINT, float*, UINT)
    QZ_NOTIMPL(SetVertexShaderConstantI, UINT, const int*, UINT)
    QZ_NOTIMPL(GetVertexShaderConstantI, UINT, int*, UINT)
    QZ_NOTIMPL(SetVertexShaderConstantB, UINT, const WINBOOL*, UINT)
    QZ_NOTIMPL(GetVertexShaderConstantB, UINT, WINBOOL*, UINT)
    QZ_NOTIMPL(SetStreamSource, UINT, IDirect3DVertexBuffer9*, UINT, UINT)
    QZ_NOTIMPL(GetStreamSource, UINT, IDirect3DVertexBuffer9**, UINT*, UINT*)
    QZ_NOTIMPL(SetStreamSourceFreq, UINT, UINT) QZ_NOTIMPL(GetStreamSourceFreq, UINT, UINT*)
    QZ_NOTIMPL(SetIndices, IDirect3DIndexBuffer9*) QZ_NOTIMPL(GetIndices, IDirect3DIndexBuffer9**)
    QZ_NOTIMPL(CreatePixelShader, const DWORD*, IDirect3DPixelShader9**)
    QZ_NOTIMPL(SetPixelShader, IDirect3DPixelShader9*) QZ_NOTIMPL(GetPixelShader, IDirect3DPixelShader9**)
    QZ_NOTIMPL(SetPixelShaderConstantF, UINT, const float*, UINT)
    QZ_NOTIMPL(GetPixelShaderConstantF, UINT, float*, UINT)
    QZ_NOTIMPL(SetPixelShaderConstantI, UINT, const int*, UINT) QZ_NOTIMPL(GetPixelShaderConstantI, UINT, int*, UINT)
    QZ_NOTIMPL(SetPixelShaderConstantB, UINT, const WINBOOL*, UINT)
    QZ_NOTIMPL(GetPixelShaderConstantB, UINT, WINBOOL*, UINT)
    QZ_NOTIMPL(DrawRectPatch, UINT, const float*, const D3DRECTPATCH_INFO*)
    QZ_NOTIMPL(DrawTriPatch, UINT, const float*, const D3DTRIPATCH_INFO*) QZ_NOTIMPL(DeletePatch, UINT)
    QZ_NOTIMPL(CreateQuery, D3DQUERYTYPE, IDirect3DQuery9**)
};

}  // namespace qz::test

#undef QZ_NOTIMPL
#undef QZ_ZERO
