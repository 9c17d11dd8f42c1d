// A stand-in Direct3D 9 device for the gamma tests: the cooperative-level
// answer, the gamma ramp and the reference count are the test's to set and
// read; every call of the three gamma methods is recorded. All other methods
// answer E_NOTIMPL (or 0) and do nothing.
#pragma once
#include <windows.h>
#include <d3d9.h>

#include <vector>

namespace qz::test {

class FakeD3DDevice9 final : public IDirect3DDevice9 {
public:
    struct SetCall {
        UINT swap_chain;
        DWORD flags;
        D3DGAMMARAMP ramp;
    };

    FakeD3DDevice9();

    // What TestCooperativeLevel answers (S_OK unless a test says otherwise).
    HRESULT cooperative_level = D3D_OK;
    // The ramp GetGammaRamp hands out and SetGammaRamp overwrites.
    D3DGAMMARAMP ramp{};

    LONG refs() const { return refs_; }
    int test_calls() const { return test_calls_; }
    const std::vector<UINT>& get_calls() const { return get_calls_; }  // swap chain of each call
    const std::vector<SetCall>& set_calls() const { return set_calls_; }
    // Calls of any method other than the three gamma ones and IUnknown.
    int other_calls() const { return other_calls_; }

    // IUnknown
    STDMETHOD_(HRESULT, QueryInterface)(REFIID riid, void** out) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // The three the library uses.
    STDMETHOD_(HRESULT, TestCooperativeLevel)() override;
    STDMETHOD_(void, SetGammaRamp)(UINT swap_chain, DWORD flags, const D3DGAMMARAMP* ramp) override;
    STDMETHOD_(void, GetGammaRamp)(UINT swap_chain, D3DGAMMARAMP* ramp) override;

    // Everything else.
    STDMETHOD_(UINT, GetAvailableTextureMem)() override { return other(0); }
    STDMETHOD_(HRESULT, EvictManagedResources)() override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetDirect3D)(IDirect3D9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetDeviceCaps)(D3DCAPS9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetDisplayMode)(UINT, D3DDISPLAYMODE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetCreationParameters)(D3DDEVICE_CREATION_PARAMETERS *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetCursorProperties)(UINT, UINT, IDirect3DSurface9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(void, SetCursorPosition)(int, int, DWORD) override { other(0); }
    STDMETHOD_(WINBOOL, ShowCursor)(WINBOOL) override { return other(0); }
    STDMETHOD_(HRESULT, CreateAdditionalSwapChain)(D3DPRESENT_PARAMETERS*, IDirect3DSwapChain9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetSwapChain)(UINT, IDirect3DSwapChain9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(UINT, GetNumberOfSwapChains)() override { return other(0); }
    STDMETHOD_(HRESULT, Reset)(D3DPRESENT_PARAMETERS*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, Present)(const RECT *, const RECT *, HWND, const RGNDATA *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetBackBuffer)(UINT, UINT, D3DBACKBUFFER_TYPE, IDirect3DSurface9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetRasterStatus)(UINT, D3DRASTER_STATUS*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetDialogBoxMode)(WINBOOL) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateTexture)(UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DTexture9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateVolumeTexture)(UINT, UINT, UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DVolumeTexture9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateCubeTexture)(UINT, UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DCubeTexture9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateVertexBuffer)(UINT, DWORD, DWORD, D3DPOOL, IDirect3DVertexBuffer9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateIndexBuffer)(UINT, DWORD, D3DFORMAT, D3DPOOL, IDirect3DIndexBuffer9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateRenderTarget)(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateDepthStencilSurface)(UINT, UINT, D3DFORMAT, D3DMULTISAMPLE_TYPE, DWORD, WINBOOL, IDirect3DSurface9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, UpdateSurface)(IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *, const POINT *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, UpdateTexture)(IDirect3DBaseTexture9*, IDirect3DBaseTexture9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetRenderTargetData)(IDirect3DSurface9*, IDirect3DSurface9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetFrontBufferData)(UINT, IDirect3DSurface9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, StretchRect)(IDirect3DSurface9 *, const RECT *, IDirect3DSurface9 *, const RECT *, D3DTEXTUREFILTERTYPE) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, ColorFill)(IDirect3DSurface9 *, const RECT *, D3DCOLOR) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateOffscreenPlainSurface)(UINT, UINT, D3DFORMAT, D3DPOOL, IDirect3DSurface9**, HANDLE*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetRenderTarget)(DWORD, IDirect3DSurface9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetRenderTarget)(DWORD, IDirect3DSurface9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetDepthStencilSurface)(IDirect3DSurface9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetDepthStencilSurface)(IDirect3DSurface9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, BeginScene)() override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, EndScene)() override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, Clear)(DWORD, const D3DRECT *, DWORD, D3DCOLOR, float, DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetTransform)(D3DTRANSFORMSTATETYPE, const D3DMATRIX *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetTransform)(D3DTRANSFORMSTATETYPE, D3DMATRIX*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, MultiplyTransform)(D3DTRANSFORMSTATETYPE, const D3DMATRIX *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetViewport)(const D3DVIEWPORT9 *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetViewport)(D3DVIEWPORT9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetMaterial)(const D3DMATERIAL9 *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetMaterial)(D3DMATERIAL9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetLight)(DWORD, const D3DLIGHT9 *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetLight)(DWORD, D3DLIGHT9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, LightEnable)(DWORD, WINBOOL) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetLightEnable)(DWORD, WINBOOL*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetClipPlane)(DWORD, const float *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetClipPlane)(DWORD, float*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetRenderState)(D3DRENDERSTATETYPE, DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetRenderState)(D3DRENDERSTATETYPE, DWORD*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateStateBlock)(D3DSTATEBLOCKTYPE, IDirect3DStateBlock9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, BeginStateBlock)() override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, EndStateBlock)(IDirect3DStateBlock9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetClipStatus)(const D3DCLIPSTATUS9 *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetClipStatus)(D3DCLIPSTATUS9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetTexture)(DWORD, IDirect3DBaseTexture9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetTexture)(DWORD, IDirect3DBaseTexture9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetTextureStageState)(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetTextureStageState)(DWORD, D3DTEXTURESTAGESTATETYPE, DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetSamplerState)(DWORD, D3DSAMPLERSTATETYPE, DWORD*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetSamplerState)(DWORD, D3DSAMPLERSTATETYPE, DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, ValidateDevice)(DWORD*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetPaletteEntries)(UINT, const PALETTEENTRY *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetPaletteEntries)(UINT, PALETTEENTRY*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetCurrentTexturePalette)(UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetCurrentTexturePalette)(UINT *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetScissorRect)(const RECT *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetScissorRect)(RECT*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetSoftwareVertexProcessing)(WINBOOL) override { return other(E_NOTIMPL); }
    STDMETHOD_(WINBOOL, GetSoftwareVertexProcessing)() override { return other(0); }
    STDMETHOD_(HRESULT, SetNPatchMode)(float) override { return other(E_NOTIMPL); }
    STDMETHOD_(float, GetNPatchMode)() override { return other(0); }
    STDMETHOD_(HRESULT, DrawPrimitive)(D3DPRIMITIVETYPE, UINT, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DrawIndexedPrimitive)(D3DPRIMITIVETYPE, INT, UINT, UINT, UINT, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DrawPrimitiveUP)(D3DPRIMITIVETYPE, UINT, const void *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DrawIndexedPrimitiveUP)(D3DPRIMITIVETYPE, UINT, UINT, UINT, const void *, D3DFORMAT, const void *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, ProcessVertices)(UINT, UINT, UINT, IDirect3DVertexBuffer9*, IDirect3DVertexDeclaration9*, DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateVertexDeclaration)(const D3DVERTEXELEMENT9 *, IDirect3DVertexDeclaration9 **) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetVertexDeclaration)(IDirect3DVertexDeclaration9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetVertexDeclaration)(IDirect3DVertexDeclaration9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetFVF)(DWORD) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetFVF)(DWORD*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateVertexShader)(const DWORD *, IDirect3DVertexShader9 **) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetVertexShader)(IDirect3DVertexShader9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetVertexShader)(IDirect3DVertexShader9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetVertexShaderConstantF)(UINT, const float *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetVertexShaderConstantF)(UINT, float*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetVertexShaderConstantI)(UINT, const int *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetVertexShaderConstantI)(UINT, int*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetVertexShaderConstantB)(UINT, const WINBOOL *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetVertexShaderConstantB)(UINT, WINBOOL*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetStreamSource)(UINT, IDirect3DVertexBuffer9*, UINT, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetStreamSource)(UINT, IDirect3DVertexBuffer9**, UINT*, UINT*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetStreamSourceFreq)(UINT, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetStreamSourceFreq)(UINT, UINT*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetIndices)(IDirect3DIndexBuffer9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetIndices)(IDirect3DIndexBuffer9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreatePixelShader)(const DWORD *, IDirect3DPixelShader9 **) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetPixelShader)(IDirect3DPixelShader9*) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetPixelShader)(IDirect3DPixelShader9**) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetPixelShaderConstantF)(UINT, const float *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetPixelShaderConstantF)(UINT, float*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetPixelShaderConstantI)(UINT, const int *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetPixelShaderConstantI)(UINT, int*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, SetPixelShaderConstantB)(UINT, const WINBOOL *, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, GetPixelShaderConstantB)(UINT, WINBOOL*, UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DrawRectPatch)(UINT, const float *, const D3DRECTPATCH_INFO *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DrawTriPatch)(UINT, const float *, const D3DTRIPATCH_INFO *) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, DeletePatch)(UINT) override { return other(E_NOTIMPL); }
    STDMETHOD_(HRESULT, CreateQuery)(D3DQUERYTYPE, IDirect3DQuery9**) override { return other(E_NOTIMPL); }

private:
    template <class T>
    T other(T answer) {
        ++other_calls_;
        return answer;
    }
    HRESULT other(HRESULT answer) {
        ++other_calls_;
        return answer;
    }

    LONG refs_ = 1;
    int test_calls_ = 0;
    int other_calls_ = 0;
    std::vector<UINT> get_calls_;
    std::vector<SetCall> set_calls_;
};

}  // namespace qz::test
